// Face and vertex normals, computed once in model space.
#pragma once

#include "geometry/mesh.h"

// Gives every face its unit normal (zero for a degenerate triangle) and every
// vertex the normalised average of the normals of the faces that use it.
void CalcNormals(VertexArray& vertices, FaceArray& faces);
