// The pixel work of icon drawing: rebuilding the transparency of an icon that
// the platform has drawn into a 32-bit buffer.
//
// The platform draws the icon's mask, then its image, into the same buffer
// (PixelDrawIcon in pixel_surface.h); between the two the mask is read into a
// byte array, and afterwards the array becomes the alpha of an icon that
// carries none. Any thread may call these; nothing is allocated. Portable: no
// platform headers.
#pragma once

#include "raster/pixel_buffer.h"

// Reads the mask drawn into maskImage (opaque parts black, transparent parts
// white) into mask, column by column (all rows of column 0 from the top, then
// column 1, ...): each entry is the complement of the pixel's red byte, so
// opaque gives 255 and transparent 0. Returns the number of entries written
// (width * height), or 0 with nothing written when maskImage is missing, has no
// pixels, is not 32 bits per pixel, or its entries exceed capacity.
int32_t PixelReadIconMask(const PixelBuffer* maskImage, uint8_t* mask, int32_t capacity);

// Gives the icon drawn into image the alpha of mask: the pixels are visited
// column by column as PixelReadIconMask wrote them, and while the visited
// pixel's alpha is 0 it takes the next mask entry; at the first pixel whose
// alpha is not 0 the visit stops for good (the icon carries its own alpha, and
// the pixels already visited keep what they got). At most count entries are
// used. Nothing happens when image is missing, has no pixels or is not 32 bits
// per pixel, or mask is null.
void PixelApplyIconMask(PixelBuffer* image, const uint8_t* mask, int32_t count);
