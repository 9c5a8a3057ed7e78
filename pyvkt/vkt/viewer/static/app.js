// The live viewer's page. Frames arrive as raw samples (fetch of binary data),
// so the histogram and the statistics are computed here on the exact values.
"use strict";

const TOKEN = document.body.dataset.token;
const $ = (id) => document.getElementById(id);

const view = {
  frame: null,          // {sequence, number, width, height, samples, bits}
  // userZoom: the user zoomed or panned, so frames keep that view; else every
  // new frame size is fitted, once the image area has a size (it has none
  // while its section is hidden, as when a frame comes before the board's
  // state on a reload).
  zoom: 1, panX: 0, panY: 0, userZoom: false, needsFit: false,
  grey: document.createElement("canvas"),
  // The display window: the sample values drawn black and white (the frame's
  // own min and max while automatic); saturated samples drawn red.
  window: { low: 0, high: 255, auto: true }, saturation: true,
  colours: null, coloursKey: "",
  board: null,
  settingsFor: null,
  lastError: 0,
  shownTimes: [],
  notShown: 0,
};

// ---- talking to the server --------------------------------------------------------------
async function api(path, body) {
  const options = { headers: { "X-Viewer-Token": TOKEN }, cache: "no-store" };
  if (body !== undefined) {
    options.method = "POST";
    options.headers["Content-Type"] = "application/json";
    options.body = JSON.stringify(body);
  }
  const response = await fetch(path, options);
  const answer = await response.json();
  if (!response.ok) throw new Error(answer.error || response.statusText);
  return answer;
}

// ---- frames -----------------------------------------------------------------------------
async function frameLoop() {
  let after = 0;
  for (;;) {
    try {
      const response = await fetch("/api/frame?after=" + after,
                                   { headers: { "X-Viewer-Token": TOKEN }, cache: "no-store" });
      if (response.status === 200) {
        const frame = readFrame(response.headers, await response.arrayBuffer());
        after = frame.sequence;
        showFrame(frame);
      } else if (response.status !== 204) {
        await sleep(500);
      }
    } catch (error) {
      await sleep(500);
    }
  }
}

function readFrame(headers, buffer) {
  const number = (name) => parseInt(headers.get(name), 10);
  const sampleBytes = number("X-Frame-Sample-Bytes");
  const bits = number("X-Frame-Bits");
  return {
    sequence: number("X-Frame-Sequence"),
    number: number("X-Frame-Number"),
    width: number("X-Frame-Width"),
    height: number("X-Frame-Height"),
    samples: sampleBytes === 1 ? new Uint8Array(buffer) : new Uint16Array(buffer),
    bits: bits >= 1 && bits <= 8 * sampleBytes ? bits : 8 * sampleBytes,
  };
}

// Frames this page drew in the last second, and frames it never got (gaps in
// the board's frame numbers: dropped by the capture or by a slow page).
function countShown(frame) {
  const now = performance.now();
  view.shownTimes.push(now);
  while (now - view.shownTimes[0] > 1000) view.shownTimes.shift();
  const previous = view.frame;
  if (previous && frame.number > previous.number) {
    view.notShown += frame.number - previous.number - 1;
  }
  $("shown-fps").textContent = view.shownTimes.length;
  $("not-shown").textContent = view.notShown;
}

function showFrame(frame) {
  countShown(frame);
  const sizeChanged = !view.frame || view.frame.width !== frame.width ||
                      view.frame.height !== frame.height;
  view.frame = frame;
  const stats = render(frame);
  if (sizeChanged && !view.userZoom) view.needsFit = true;
  fitWhenSized();
  draw();
  $("frame-number").textContent = frame.number;
  $("frame-size").textContent = frame.width + " x " + frame.height + ", " + frame.bits + " bit";
  showStatistics(stats);
}

// Draws the frame into the grey image and gives its statistics, which
// follow exactly from the count of every sample value. The values are
// counted while they are drawn, unless the display window follows the frame
// and so needs its min and max first.
function render(frame) {
  if (frame.bits > 8 && view.window.auto) {
    const stats = statistics(countValues(frame, newCounts(frame)), frame.bits);
    showDisplayWindow(frame.bits, stats);
    paint(frame, null);
    return stats;
  }
  const stats = statistics(paint(frame, newCounts(frame)), frame.bits);
  showDisplayWindow(frame.bits, stats);
  return stats;
}

function newCounts(frame) {
  return new Uint32Array(frame.samples.BYTES_PER_ELEMENT === 1 ? 256 : 65536);
}

function countValues(frame, counts) {
  const samples = frame.samples;
  for (let i = 0; i < samples.length; i++) counts[samples[i]]++;
  return counts;
}

// The image through a table from sample value to colour; the values
// counted into `counts` on the way when given.
function paint(frame, counts) {
  const { width, height, samples } = frame;
  if (view.grey.width !== width || view.grey.height !== height) {
    view.grey.width = width;
    view.grey.height = height;
  }
  const context = view.grey.getContext("2d");
  const image = context.createImageData(width, height);
  const rgba = new Uint32Array(image.data.buffer);
  const colours = colourTable(frame);
  if (counts) {
    for (let i = 0; i < samples.length; i++) {
      const v = samples[i];
      counts[v]++;
      rgba[i] = colours[v];
    }
  } else {
    for (let i = 0; i < samples.length; i++) rgba[i] = colours[samples[i]];
  }
  context.putImageData(image, 0, 0);
  return counts;
}

const RED = 0xff0000ff;  // little-endian RGBA

// Grey from black at the window's low value to white at its high value;
// above 8 bits, samples at the camera's full scale in red when asked for.
function colourTable(frame) {
  const wide = frame.bits > 8;
  const low = wide ? view.window.low : 0;
  const high = wide ? view.window.high : 255;
  const saturated = wide && view.saturation ? 2 ** frame.bits - 1 : Infinity;
  const size = frame.samples.BYTES_PER_ELEMENT === 1 ? 256 : 65536;
  const key = [size, low, high, saturated].join("/");
  if (view.coloursKey !== key) {
    const table = new Uint32Array(size);
    const scale = 255 / Math.max(1, high - low);
    for (let v = 0; v < size; v++) {
      const g = Math.max(0, Math.min(255, Math.round((v - low) * scale)));
      table[v] = v >= saturated ? RED : 0xff000000 | (g << 16) | (g << 8) | g;
    }
    view.colours = table;
    view.coloursKey = key;
  }
  return view.colours;
}

// The window's controls, shown for cameras above 8 bits; automatic, the
// window follows each frame's min and max.
function showDisplayWindow(bits, stats) {
  const wide = bits > 8;
  $("display").hidden = !wide;
  if (!wide) return;
  const top = 2 ** bits - 1;
  if (view.window.auto) {
    view.window.low = stats.min;
    view.window.high = Math.max(stats.max, stats.min + 1);
  }
  view.window.low = Math.min(Math.max(0, view.window.low), top - 1);
  view.window.high = Math.min(Math.max(view.window.low + 1, view.window.high), top);
  for (const [id, value] of [["window-low", view.window.low], ["window-high", view.window.high]]) {
    const field = $(id);
    field.max = top;
    if (field !== document.activeElement) field.value = value;
  }
  $("window-auto").checked = view.window.auto;
}

function installDisplayWindow() {
  const typed = () => {
    const low = parseInt($("window-low").value, 10);
    const high = parseInt($("window-high").value, 10);
    if (!Number.isFinite(low) || !Number.isFinite(high)) return;
    view.window = { low: low, high: high, auto: false };
    redraw();
  };
  $("window-low").addEventListener("change", typed);
  $("window-high").addEventListener("change", typed);
  $("window-auto").addEventListener("change", () => {
    view.window.auto = $("window-auto").checked;
    redraw();
  });
  $("saturation").addEventListener("change", () => {
    view.saturation = $("saturation").checked;
    redraw();
  });
}

// The frame shown again with the display as it is now set.
function redraw() {
  const frame = view.frame;
  if (!frame) return;
  render(frame);
  draw();
}

// ---- zoom and pan -----------------------------------------------------------------------
function draw() {
  const canvas = $("image");
  const viewport = $("viewport");
  if (viewport.clientWidth === 0 || viewport.clientHeight === 0) return;
  if (canvas.width !== viewport.clientWidth || canvas.height !== viewport.clientHeight) {
    canvas.width = viewport.clientWidth;
    canvas.height = viewport.clientHeight;
  }
  const context = canvas.getContext("2d");
  context.setTransform(1, 0, 0, 1, 0, 0);
  context.fillStyle = "#111";
  context.fillRect(0, 0, canvas.width, canvas.height);
  if (!view.frame) return;
  context.imageSmoothingEnabled = false;
  context.setTransform(view.zoom, 0, 0, view.zoom, view.panX, view.panY);
  context.drawImage(view.grey, 0, 0);
  $("zoom-level").textContent = Math.round(view.zoom * 100) + " %";
}

function setZoom(zoom, centreX, centreY) {
  const limited = Math.min(64, Math.max(1 / 64, zoom));
  view.panX = centreX - (centreX - view.panX) * limited / view.zoom;
  view.panY = centreY - (centreY - view.panY) * limited / view.zoom;
  view.zoom = limited;
  draw();
}

// Fits the frame once the image area can be measured.
function fitWhenSized() {
  const viewport = $("viewport");
  if (view.needsFit && view.frame && viewport.clientWidth > 0 && viewport.clientHeight > 0) {
    view.needsFit = false;
    zoomToFit();
  }
}

function zoomToFit() {
  const viewport = $("viewport");
  if (!view.frame || viewport.clientWidth === 0 || viewport.clientHeight === 0) {
    view.needsFit = true;
    return;
  }
  view.zoom = Math.min(viewport.clientWidth / view.frame.width,
                       viewport.clientHeight / view.frame.height);
  view.panX = (viewport.clientWidth - view.frame.width * view.zoom) / 2;
  view.panY = (viewport.clientHeight - view.frame.height * view.zoom) / 2;
  draw();
}

function zoomOneToOne() {
  view.userZoom = true;
  view.zoom = 1;
  view.panX = 0;
  view.panY = 0;
  draw();
}

function centre() {
  const viewport = $("viewport");
  return [viewport.clientWidth / 2, viewport.clientHeight / 2];
}

function installZoomAndPan() {
  const canvas = $("image");
  let dragging = null;
  canvas.addEventListener("wheel", (event) => {
    event.preventDefault();
    view.userZoom = true;
    setZoom(view.zoom * (event.deltaY < 0 ? 1.25 : 0.8), event.offsetX, event.offsetY);
  }, { passive: false });
  canvas.addEventListener("mousedown", (event) => {
    dragging = { x: event.clientX, y: event.clientY };
  });
  window.addEventListener("mouseup", () => { dragging = null; });
  canvas.addEventListener("mousemove", (event) => {
    if (dragging) {
      view.userZoom = true;
      view.panX += event.clientX - dragging.x;
      view.panY += event.clientY - dragging.y;
      dragging = { x: event.clientX, y: event.clientY };
      draw();
    }
    showPixel(event.offsetX, event.offsetY);
  });
  $("zoom-fit").onclick = () => { view.userZoom = false; zoomToFit(); };
  $("zoom-one").onclick = zoomOneToOne;
  $("zoom-in").onclick = () => { view.userZoom = true; setZoom(view.zoom * 2, ...centre()); };
  $("zoom-out").onclick = () => { view.userZoom = true; setZoom(view.zoom / 2, ...centre()); };
  // The image area gets its size when its section is shown, and changes it
  // with the window: a fitted frame is fitted again, any other redrawn.
  new ResizeObserver(() => {
    if (!view.userZoom && view.frame) view.needsFit = true;
    fitWhenSized();
    draw();
  }).observe($("viewport"));
}

// The value of the pixel under the cursor, in image coordinates.
function showPixel(canvasX, canvasY) {
  const frame = view.frame;
  if (!frame) return;
  const x = Math.floor((canvasX - view.panX) / view.zoom);
  const y = Math.floor((canvasY - view.panY) / view.zoom);
  const inside = x >= 0 && y >= 0 && x < frame.width && y < frame.height;
  const pixel = $("pixel");
  pixel.dataset.x = x;
  pixel.dataset.y = y;
  pixel.dataset.value = inside ? frame.samples[y * frame.width + x] : "";
  pixel.textContent = inside ? "x " + x + ", y " + y + ": " + pixel.dataset.value
                             : "outside the image";
}

// ---- histogram and statistics -----------------------------------------------------------
// min, max, mean and (population) standard deviation from the counts of
// each sample value, and 256 histogram bins over the camera's range.
function statistics(counts, bits) {
  const bins = new Uint32Array(256);
  const shift = Math.max(0, bits - 8);
  let min = -1, max = -1, n = 0, sum = 0;
  for (let v = 0; v < counts.length; v++) {
    const count = counts[v];
    if (count === 0) continue;
    if (min < 0) min = v;
    max = v;
    n += count;
    sum += count * v;
    bins[Math.min(255, v >> shift)] += count;
  }
  const mean = sum / n;
  let squares = 0;
  for (let v = min; v <= max; v++) {
    if (counts[v]) squares += counts[v] * (v - mean) * (v - mean);
  }
  return { min, max, mean, std: Math.sqrt(squares / n), bins };
}

function showStatistics(stats) {
  $("stat-min").textContent = stats.min;
  $("stat-max").textContent = stats.max;
  $("stat-mean").textContent = stats.mean.toFixed(3);
  $("stat-std").textContent = stats.std.toFixed(3);
  const canvas = $("histogram");
  const context = canvas.getContext("2d");
  context.clearRect(0, 0, canvas.width, canvas.height);
  const peak = Math.max(1, ...stats.bins);
  const barWidth = canvas.width / 256;
  context.fillStyle = "#37474f";
  stats.bins.forEach((count, bin) => {
    const height = Math.round(count / peak * (canvas.height - 2));
    context.fillRect(bin * barWidth, canvas.height - height, Math.ceil(barWidth), height);
  });
}

// ---- board, capture, settings, I/O ------------------------------------------------------
async function openBoard(event) {
  event.preventDefault();
  $("open-error").textContent = "";
  const request = {
    model: $("model").value,
    id: parseInt($("board-id").value || "0", 10),
    ch: parseInt($("board-ch").value || "0", 10),
  };
  if ($("camera-file").value) request.camera_file = $("camera-file").value;
  try {
    const state = await api("/api/open", request);
    view.settingsFor = state.board.serial;
    showState(state);
  } catch (error) {
    $("open-error").textContent = error.message;
  }
}

async function act(path, body, errorField) {
  try {
    const answer = await api(path, body);
    if (errorField) $(errorField).textContent = "";
    return answer;
  } catch (error) {
    if (errorField) $(errorField).textContent = error.message;
    return null;
  }
}

function showState(state) {
  const board = state.board;
  $("board-name").textContent = board ? board.model + (board.table !== board.model
                                          ? " (" + board.table + ")" : "") : "no board open";
  $("grabber").hidden = !(board && board.grabber);
  $("dio").hidden = !(board && !board.grabber);
  $("settings-panel").hidden = !board;
  if (state.settings) showSettings(state.settings, board.serial);
  if (state.capture) {
    $("fps").textContent = state.capture.fps.toFixed(1);
    $("dropped").textContent = state.capture.dropped;
    $("start").disabled = state.capture.running;
    $("stop").disabled = !state.capture.running;
  }
  if (state.io) showLines(state.io);
  $("io-error").textContent = state.io_error || "";
  if (state.recording_now) $("record-status").textContent = "recording...";
  else if (state.recording) {
    $("record-status").textContent = state.recording.frames + " frames saved in " +
                                     state.recording.path;
  }
  showErrors(state.errors);
  view.board = board;
}

function showErrors(errors) {
  const list = $("errors");
  for (const error of errors) {
    if (error.id <= view.lastError) continue;
    view.lastError = error.id;
    const item = document.createElement("li");
    item.textContent = error.time + " " + error.text;
    list.prepend(item);
  }
  while (list.children.length > 20) list.lastChild.remove();
}

// The settings table: built anew for another board, else updated in place,
// leaving alone the field being edited. Each setting has a second row under
// it, across the table, for the library's refusal, so that a long text wraps
// within the panel instead of being clipped.
function showSettings(rows, serial) {
  const body = document.querySelector("#settings tbody");
  const fields = body.querySelectorAll("tr.setting input");
  if (body.dataset.serial !== String(serial) || fields.length !== rows.length) {
    body.dataset.serial = serial;
    body.replaceChildren(...rows.flatMap(settingRows));
    return;
  }
  rows.forEach((row, index) => {
    const field = fields[index];
    if (field !== document.activeElement && row.value !== undefined) field.value = row.value;
  });
}

function settingRows(row) {
  const line = document.createElement("tr");
  line.dataset.name = row.name;
  line.className = "setting " + (row.writable ? "writable" : "readonly");
  const name = document.createElement("td");
  name.textContent = row.name;
  const field = document.createElement("input");
  field.value = row.value !== undefined ? row.value : "";
  field.readOnly = !row.writable;
  field.placeholder = row.value === undefined && row.writable ? "write-only" : "";
  const cell = document.createElement("td");
  cell.append(field);
  line.append(name, cell);
  const refusal = document.createElement("tr");
  refusal.dataset.name = row.name;
  refusal.className = "refusal";
  const error = document.createElement("td");
  error.className = "error";
  error.colSpan = 2;
  error.textContent = row.error || "";
  refusal.append(error);
  if (row.writable) {
    field.addEventListener("change", () => writeSetting(row.name, field, error));
  }
  return [line, refusal];
}

async function writeSetting(name, field, errorCell) {
  try {
    const answer = await api("/api/setting", { name: name, value: field.value });
    errorCell.textContent = answer.error || "";
    if (answer.value !== undefined) field.value = answer.value;
  } catch (error) {
    errorCell.textContent = error.message;
  }
}

function showLines(io) {
  fillLines($("inputs"), "in", io.inputs, "div", null);
  fillLines($("outputs"), "out", io.outputs, "button", switchOutput);
}

function fillLines(container, prefix, word, tag, onClick) {
  if (container.children.length !== 32) {
    container.replaceChildren();
    for (let line = 0; line < 32; line++) {
      const element = document.createElement(tag);
      element.id = prefix + "-" + line;
      element.className = "line";
      element.textContent = line;
      if (onClick) element.addEventListener("click", () => onClick(line, element));
      container.append(element);
    }
  }
  for (let line = 0; line < 32; line++) {
    const on = ((word >>> line) & 1) === 1;
    const element = container.children[line];
    element.classList.toggle("on", on);
    element.dataset.level = on ? "1" : "0";
  }
}

async function switchOutput(line, element) {
  const answer = await act("/api/output", { line: line, value: element.dataset.level !== "1" },
                           "io-error");
  if (answer) showLines(answer);
}

// The frame as PNG in the camera's own depth (16-bit samples above 8 bits,
// with an sBIT chunk naming the significant bits), from its exact samples,
// not from the image drawn through the display window.
async function snapshot() {
  const frame = view.frame;
  if (!frame) return;
  const blob = await pngOf(frame);
  const link = document.createElement("a");
  link.href = URL.createObjectURL(blob);
  link.download = "snapshot-frame-" + frame.number + ".png";
  link.id = "snapshot-link";
  document.body.append(link);
  link.click();
  setTimeout(() => { URL.revokeObjectURL(link.href); link.remove(); }, 1000);
}

async function pngOf(frame) {
  const { width, height, samples, bits } = frame;
  const depth = samples.BYTES_PER_ELEMENT * 8;
  const rowBytes = 1 + width * samples.BYTES_PER_ELEMENT;
  const raw = new Uint8Array(rowBytes * height);   // filter byte 0: rows as they are
  for (let y = 0; y < height; y++) {
    let at = y * rowBytes + 1;
    for (let x = y * width; x < (y + 1) * width; x++) {
      const v = samples[x];
      if (depth === 16) raw[at++] = v >> 8;        // PNG samples are big-endian
      raw[at++] = v & 0xff;
    }
  }
  const header = new Uint8Array(13);
  const fields = new DataView(header.buffer);
  fields.setUint32(0, width);
  fields.setUint32(4, height);
  header[8] = depth;                               // grey (colour type 0), no interlace
  const chunks = [pngChunk("IHDR", header)];
  if (bits < depth) chunks.push(pngChunk("sBIT", Uint8Array.of(bits)));
  chunks.push(pngChunk("IDAT", await zlibCompress(raw)), pngChunk("IEND", new Uint8Array(0)));
  const signature = Uint8Array.of(0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a);
  return new Blob([signature, ...chunks], { type: "image/png" });
}

function pngChunk(type, data) {
  const chunk = new Uint8Array(12 + data.length);
  const fields = new DataView(chunk.buffer);
  fields.setUint32(0, data.length);
  for (let i = 0; i < 4; i++) chunk[4 + i] = type.charCodeAt(i);
  chunk.set(data, 8);
  fields.setUint32(8 + data.length, crc32(chunk.subarray(4, 8 + data.length)));
  return chunk;
}

async function zlibCompress(bytes) {
  // The "deflate" format of a compression stream is the zlib format PNG needs.
  const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream("deflate"));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

const CRC_TABLE = Uint32Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let c = 0xffffffff;
  for (const byte of bytes) c = CRC_TABLE[(c ^ byte) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

// The state four times a second; the settings table whenever another board
// was opened (its serial number changes).
async function poll() {
  for (;;) {
    try {
      let state = await api("/api/state");
      if (state.board && state.board.serial !== view.settingsFor) {
        state = await api("/api/state?settings=1");
        view.settingsFor = state.board ? state.board.serial : null;
      }
      showState(state);
    } catch (error) {
      // the server is busy or gone: try again
    }
    await sleep(250);
  }
}

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

function install() {
  $("open-form").addEventListener("submit", openBoard);
  $("close").onclick = async () => { await act("/api/close", {}, "open-error"); };
  $("start").onclick = async () => {
    const state = await act("/api/capture", { run: true }, "open-error");
    if (state) showState(state);
  };
  $("stop").onclick = async () => {
    const state = await act("/api/capture", { run: false }, "open-error");
    if (state) showState(state);
  };
  $("record").onclick = async () => {
    const answer = await act("/api/record",
                             { frames: parseInt($("record-count").value, 10) }, "record-status");
    if (answer) $("record-status").textContent = "recording " + answer.frames + " frames...";
  };
  $("snapshot").onclick = snapshot;
  installZoomAndPan();
  installDisplayWindow();
  frameLoop();
  poll();
}

install();
