// The installer's pictures: the icon family and the side picture, as scenes
// for render(). One palette (deep blue, teal, a warm sand accent) and one
// light direction (from the top) keep the family together.
#pragma once

#include "canvas.h"

// The scene of icon resource id (201 to 212) drawn at size x size pixels;
// ids outside that range give an empty scene.
Scene iconScene(int id, int size);

// The side picture: an evening landscape of rolling hills under a calm sky,
// 180 x 200 pixels, opaque, without text.
Scene sidePictureScene();
