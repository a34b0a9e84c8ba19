#include "bench/osmesa_scene.h"

#include <GL/osmesa.h>


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
    TurnSceneIntoTriangles(scene, FaceCulling::ByPeer, peer.triangles);
    const PeerTriangles& triangles = peer.triangles;
    glClear(GL_COLOR_BUFFER_BIT);
    glVertexPointer(2, GL_FLOAT, 0, triangles.positions.data());
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, triangles.colors.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(triangles.indices.size()), GL_UNSIGNED_INT,
                   triangles.indices.data());
    glFinish();
}
