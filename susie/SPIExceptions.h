// The plug-in host's exceptions.
#pragma once

#include "base/Exceptions.h"

// A plug-in library could not be loaded ("%s:Susie Pluginがロードできませんでした").
LV_DECLARE_EXCEPTION(ESPIFOpenErrorSPI, Exception);
// A library lacks a required entry ("%s:認識できないSusie Pluginです").
LV_DECLARE_EXCEPTION(ESPIInvalidSPI, Exception);
// A wrapper was called whose entry the plug-in lacks.
LV_DECLARE_EXCEPTION(ESPIInvalidAPI, Exception);
// A second TSPIs at run time.
LV_DECLARE_EXCEPTION(ESPIDupCreateSPIs, Exception);
// A plug-in reported success but handed back a handle or a picture description that the
// host cannot use safely (not one of our memory blocks, sizes beyond the block).
LV_DECLARE_EXCEPTION(ESPIInvalidResult, EInvalidGraphic);
