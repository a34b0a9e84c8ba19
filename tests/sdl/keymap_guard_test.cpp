// The program's stand-ins for two libxkbcommon functions: a null state or keymap
// is left alone, anything else reaches the library as before.
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

namespace {

void CountKey(xkb_keymap*, xkb_keycode_t, void* count) { ++*static_cast<int*>(count); }

}  // namespace

TEST(KeymapGuard, NullStateAndKeymapAreLeftAloneRealOnesReachTheLibrary) {
    EXPECT_EQ(xkb_state_update_mask(nullptr, 1, 0, 0, 0, 0, 0), 0);
    int visited = 0;
    xkb_keymap_key_for_each(nullptr, CountKey, &visited);
    EXPECT_EQ(visited, 0);

    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    ASSERT_NE(context, nullptr);
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ASSERT_NE(keymap, nullptr) << "no keymap: is xkb-data installed?";
    xkb_state* state = xkb_state_new(keymap);
    const xkb_mod_mask_t shift = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
    EXPECT_NE(xkb_state_update_mask(state, shift, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED), shift);
    xkb_keymap_key_for_each(keymap, CountKey, &visited);
    EXPECT_GT(visited, 100);
    xkb_state_unref(state);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
}
