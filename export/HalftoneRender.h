// Whether the chart panel can be rendered at 8 bits per pixel with the halftone colour
// table and still hold exactly the colours of its render in the display's true-colour
// format. The GIF export then renders it so: a third of the memory of a 24-bit raster,
// and a frame read through the table instead of colour by colour.
#pragma once

#include "platform/Colors.h"

class TCustomTeePanel;

// True when every colour the panel draws is an entry of the halftone table, so that the
// nearest-entry mapping of an 8-bit raster changes none of them: the white of a new raster,
// the back colour, the panel colour and border, the bevel colours, and every entry of the
// colour table of its back image, which must then be a picture of 1, 4 or 8 bits per pixel
// (or no picture, or an empty one). A back image of another kind gives false.
bool RendersExactlyInHalftone(TCustomTeePanel& panel, TColor back_color);
