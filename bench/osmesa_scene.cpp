#include "bench/osmesa_scene.h"

#include <GL/osmesa.h>

#include "raster/mesh_renderer.h"

bool OpenOsMesaScene(OsMesaScene& peer) {
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_BGRA, 0, 0, 0, nullptr);
    if (context == nullptr) return false;
    peer.context = context;
    peer.pixels.assign(static_cast<std::size_t>(kFramePixelCount), 0);
    if (!OSMesaMakeCurrent(context, peer.pixels.data(), GL_UNSIGNED_BYTE, kFrameWidth, kFrameHeight)) {
        CloseOsMesaScene(peer);
        return false;
    }
    OSMesaPixelStore(OSMESA_Y_UP, 0);  // row 0 at the top, as in our frame
    glViewport(0, 0, kFrameWidth, kFrameHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kFrameWidth, kFrameHeight, 0, -1, 1);  // screen pixels, y downward
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);  // painter's order, as ours
    glEnable(GL_CULL_FACE);
    // Our front faces run counter-clockwise on a screen whose y grows downward;
    // the projection above turns y over, and GL sees them counter-clockwise too.
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    return true;
}

void CloseOsMesaScene(OsMesaScene& peer) {
    if (peer.context != nullptr) OSMesaDestroyContext(static_cast<OSMesaContext>(peer.context));
    peer.context = nullptr;
}

void DrawOsMesaFrame(OsMesaScene& peer, Scene& scene) {
    TurnAndSortScene(scene);
    peer.positions.resize(scene.vertices.size() * 2);
    peer.colors.resize(scene.vertices.size());
    for (std::size_t v = 0; v < scene.vertices.size(); ++v) {
        const Vertex& vertex = scene.vertices[v];
        peer.positions[2 * v] = vertex.sx;
        peer.positions[2 * v + 1] = vertex.sy;
        const PackedColor lit = LitCornerColor(vertex, scene.lightDir);
        // 0x00RRGGBB to bytes R, G, B, A in memory.
        peer.colors[v] = (lit >> 16 & 0xFFu) | (lit & 0xFF00u) | (lit & 0xFFu) << 16 | 0xFF000000u;
    }
    peer.indices.clear();
    for (const Face& slot : scene.faces) {
        const Face& face = scene.faces[static_cast<std::size_t>(slot.order)];
        for (const std::int32_t corner : {face.vert0, face.vert1, face.vert2}) {
            peer.indices.push_back(static_cast<std::uint32_t>(corner));
        }
    }
    glClear(GL_COLOR_BUFFER_BIT);
    glVertexPointer(2, GL_FLOAT, 0, peer.positions.data());
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, peer.colors.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(peer.indices.size()), GL_UNSIGNED_INT,
                   peer.indices.data());
    glFinish();
}

std::int64_t CountLitPixels(const OsMesaScene& peer) {
    std::int64_t lit = 0;
    for (const std::uint32_t pixel : peer.pixels) lit += (pixel & 0x00FFFFFFu) != 0;
    return lit;
}

std::int64_t CountLitInBoth(const OsMesaScene& peer, const FrameBuffer& frame) {
    std::int64_t lit = 0;
    for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
        lit += (peer.pixels[i] & 0x00FFFFFFu) != 0 && frame.pixels[i] != 0;
    }
    return lit;
}
