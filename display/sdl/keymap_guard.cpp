// A guard around two calls that Debian 12's SDL (2.26) gets wrong on Wayland.
//
// When a compositor sends a keyboard's modifiers before any keymap, SDL's
// handler passes the xkb state and keymap it has not made yet -- null
// pointers -- to xkb_state_update_mask and xkb_keymap_key_for_each, and the
// process dies at its first event pump. Sway does that when the seat has no
// active keyboard as the program binds it: a virtual keyboard (an on-screen or
// remote-desktop one) came and went just before. Later SDL releases ignore
// modifiers until a keymap has come.
//
// The program defines those two functions itself. SDL reaches libxkbcommon
// through the dynamic linker, which looks in the program before the libraries
// (the linker exports these definitions because SDL refers to the names), so
// SDL's calls land here. A null state or keymap has nothing to update or to
// list, so that call does nothing; every other call goes on unchanged to
// libxkbcommon's own function. Once the compositor sends the keymap, SDL makes
// its state and keys work as usual.
#include <dlfcn.h>
#include <xkbcommon/xkbcommon.h>

namespace {

// libxkbcommon's own definition of the function we stand in for.
template <typename Function>
Function* Library(const char* name) {
    return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" xkb_state_component xkb_state_update_mask(xkb_state* state, xkb_mod_mask_t depressedMods,
                                                     xkb_mod_mask_t latchedMods, xkb_mod_mask_t lockedMods,
                                                     xkb_layout_index_t depressedLayout,
                                                     xkb_layout_index_t latchedLayout,
                                                     xkb_layout_index_t lockedLayout) {
    static auto* const library = Library<decltype(xkb_state_update_mask)>("xkb_state_update_mask");
    if (state == nullptr || library == nullptr) return static_cast<xkb_state_component>(0);  // nothing changed
    return library(state, depressedMods, latchedMods, lockedMods, depressedLayout, latchedLayout, lockedLayout);
}

extern "C" void xkb_keymap_key_for_each(xkb_keymap* keymap, xkb_keymap_key_iter_t visit, void* data) {
    static auto* const library = Library<decltype(xkb_keymap_key_for_each)>("xkb_keymap_key_for_each");
    if (keymap == nullptr || library == nullptr) return;  // no keys to visit
    library(keymap, visit, data);
}
