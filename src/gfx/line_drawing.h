// DrawLine and DrawBox: wire geometry drawn straight from the stack with one
// user-pointer draw each, for the console's outlines and the camera and light
// markers.
//
// Both draw on the device given (borrowed for the call); without one they
// draw nothing and return kInvalidCall. They set no vertex format, texture, transform or state:
// what the caller has set applies (see Device for how the seven-float line
// vertex x, y, z, 0, 0, 0, 1 is read: VertexLayout::Line). They allocate nothing.
#pragma once

#include "gfx/device.h"

// One line list segment from (x1, y1, z1) to (x2, y2, z2).
krovane::gfx::Result DrawLine(float x1, float y1, float z1, float x2, float y2, float z2,
                              krovane::gfx::Device* device);

// The twelve edges of the axis-aligned box with opposite corners (x1, y1, z1)
// and (x2, y2, z2), as one list of twelve lines: the face at z1 (four lines),
// then the edges towards and around the face at z2.
krovane::gfx::Result DrawBox(float x1, float y1, float z1, float x2, float y2, float z2, krovane::gfx::Device* device);
