// The live viewer's page. Frames arrive as raw samples (fetch of binary data),
// so the histogram and the statistics are computed here on the exact values.
"use strict";

const TOKEN = document.body.dataset.token;
const $ = (id) => document.getElementById(id);

const view = {
  frame: null,          // {sequence, number, width, height, samples, bits}
  zoom: 1, panX: 0, panY: 0, fitted: false,
  grey: document.createElement("canvas"),
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
  return {
    sequence: number("X-Frame-Sequence"),
    number: number("X-Frame-Number"),
    width: number("X-Frame-Width"),
    height: number("X-Frame-Height"),
    samples: sampleBytes === 1 ? new Uint8Array(buffer) : new Uint16Array(buffer),
    bits: sampleBytes === 1 ? 8 : sampleBits(),
  };
}

// The depth of 16-bit samples: the board's BitWidth when the table has one.
function sampleBits() {
  const row = document.querySelector('#settings tr[data-name="BitWidth"] input');
  const bits = row ? parseInt(row.value, 10) : NaN;
  return bits > 8 && bits <= 16 ? bits : 16;
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
  const counts = paintGrey(frame);
  if (sizeChanged && !view.fitted) zoomToFit();
  draw();
  $("frame-number").textContent = frame.number;
  $("frame-size").textContent = frame.width + " x " + frame.height + ", " + frame.bits + " bit";
  showStatistics(counts, frame.bits);
}

// One pass over the samples: the grey image (through a table from sample to
// colour) and the count of every sample value, from which the statistics
// follow exactly.
function paintGrey(frame) {
  const { width, height, samples } = frame;
  view.grey.width = width;
  view.grey.height = height;
  const context = view.grey.getContext("2d");
  const image = context.createImageData(width, height);
  const rgba = new Uint32Array(image.data.buffer);
  const colours = colourTable(frame.bits, samples.BYTES_PER_ELEMENT);
  const counts = new Uint32Array(colours.length);
  for (let i = 0; i < samples.length; i++) {
    const v = samples[i];
    counts[v]++;
    rgba[i] = colours[v];
  }
  context.putImageData(image, 0, 0);
  return counts;
}

const colourTables = new Map();

function colourTable(bits, sampleBytes) {
  const key = bits + "/" + sampleBytes;
  if (!colourTables.has(key)) {
    const table = new Uint32Array(sampleBytes === 1 ? 256 : 65536);
    const scale = 255 / ((1 << bits) - 1);
    for (let v = 0; v < table.length; v++) {
      const g = Math.min(255, Math.round(v * scale));
      table[v] = 0xff000000 | (g << 16) | (g << 8) | g;
    }
    colourTables.set(key, table);
  }
  return colourTables.get(key);
}

// ---- zoom and pan -----------------------------------------------------------------------
function draw() {
  const canvas = $("image");
  const viewport = $("viewport");
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

function zoomToFit() {
  const viewport = $("viewport");
  if (!view.frame) return;
  view.zoom = Math.min(viewport.clientWidth / view.frame.width,
                       viewport.clientHeight / view.frame.height);
  view.panX = (viewport.clientWidth - view.frame.width * view.zoom) / 2;
  view.panY = (viewport.clientHeight - view.frame.height * view.zoom) / 2;
  draw();
}

function zoomOneToOne() {
  view.fitted = true;
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
    view.fitted = true;
    setZoom(view.zoom * (event.deltaY < 0 ? 1.25 : 0.8), event.offsetX, event.offsetY);
  }, { passive: false });
  canvas.addEventListener("mousedown", (event) => {
    dragging = { x: event.clientX, y: event.clientY };
  });
  window.addEventListener("mouseup", () => { dragging = null; });
  canvas.addEventListener("mousemove", (event) => {
    if (dragging) {
      view.fitted = true;
      view.panX += event.clientX - dragging.x;
      view.panY += event.clientY - dragging.y;
      dragging = { x: event.clientX, y: event.clientY };
      draw();
    }
    showPixel(event.offsetX, event.offsetY);
  });
  $("zoom-fit").onclick = () => { view.fitted = false; zoomToFit(); };
  $("zoom-one").onclick = zoomOneToOne;
  $("zoom-in").onclick = () => { view.fitted = true; setZoom(view.zoom * 2, ...centre()); };
  $("zoom-out").onclick = () => { view.fitted = true; setZoom(view.zoom / 2, ...centre()); };
  window.addEventListener("resize", draw);
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

function showStatistics(counts, bits) {
  const stats = statistics(counts, bits);
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
// leaving alone the field being edited.
function showSettings(rows, serial) {
  const body = document.querySelector("#settings tbody");
  if (body.dataset.serial !== String(serial) || body.children.length !== rows.length) {
    body.dataset.serial = serial;
    body.replaceChildren(...rows.map(settingRow));
    return;
  }
  rows.forEach((row, index) => {
    const field = body.children[index].querySelector("input");
    if (field !== document.activeElement && row.value !== undefined) field.value = row.value;
  });
}

function settingRow(row) {
  const line = document.createElement("tr");
  line.dataset.name = row.name;
  line.className = row.writable ? "writable" : "readonly";
  const name = document.createElement("td");
  name.textContent = row.name;
  const field = document.createElement("input");
  field.value = row.value !== undefined ? row.value : "";
  field.readOnly = !row.writable;
  field.placeholder = row.value === undefined && row.writable ? "write-only" : "";
  const cell = document.createElement("td");
  cell.append(field);
  const error = document.createElement("td");
  error.className = "error";
  error.textContent = row.error || "";
  if (row.writable) {
    field.addEventListener("change", () => writeSetting(row.name, field, error));
  }
  line.append(name, cell, error);
  return line;
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

function snapshot() {
  if (!view.frame) return;
  const number = view.frame.number;
  view.grey.toBlob((blob) => {
    const link = document.createElement("a");
    link.href = URL.createObjectURL(blob);
    link.download = "snapshot-frame-" + number + ".png";
    link.id = "snapshot-link";
    document.body.append(link);
    link.click();
    setTimeout(() => { URL.revokeObjectURL(link.href); link.remove(); }, 1000);
  }, "image/png");
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
  frameLoop();
  poll();
}

install();
