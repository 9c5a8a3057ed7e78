// Everything the device library shares between its families.
#pragma once

#include "vkt/exception.h"
#include "vkt/export.h"
#include "vkt/image.h"
#include "vkt/interfaces.h"
#include "vkt/module.h"
#include "vkt/string.h"
#include "vkt/types.h"
#include "vkt/dio/event_status.h"
#include "vkt/video/api.h"
#include "vkt/video/ktx21.h"
#include "vkt/video/ktx22.h"
#include "vkt/video/mr250.h"
#include "vkt/dio/sn2200.h"
#include "vkt/dio/snr11.h"
#include "vkt/dio/tk560.h"
#include "vkt/dio/wait_status.h"
