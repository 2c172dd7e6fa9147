// The program's images by resource number: ORVAK_ARTWORK(number, kind, name, width, height).
// Kind "BMP" and "PNG" are the skin and widget pictures that CBitmapImage loads, "ICON" the
// window icons. The artwork generator (resources/artgen) draws each entry by its name at the
// size given here; add a line here and a drawing there for every new image.
// (No include guard: the includer defines ORVAK_ARTWORK and includes this once per table.)

// Application and main frame.
ORVAK_ARTWORK(128, "ICON", "app_icon", 32, 32)
ORVAK_ARTWORK(161, "ICON", "device_view_icon", 16, 16)
ORVAK_ARTWORK(162, "ICON", "device_view_icon", 16, 16)
ORVAK_ARTWORK(165, "ICON", "output_icon", 16, 16)
ORVAK_ARTWORK(166, "ICON", "output_icon", 16, 16)
ORVAK_ARTWORK(313, "BMP", "splash", 600, 400)
ORVAK_ARTWORK(336, "BMP", "logo", 400, 160)

// Toolbar strips, 16 x 16 per button, normal and high-colour resource of each toolbar.
ORVAK_ARTWORK(128, "BMP", "toolbar_file", 96, 16)
ORVAK_ARTWORK(129, "BMP", "toolbar_file", 96, 16)
ORVAK_ARTWORK(316, "BMP", "toolbar_comms", 48, 16)
ORVAK_ARTWORK(326, "BMP", "toolbar_comms", 48, 16)
ORVAK_ARTWORK(338, "BMP", "toolbar_global_mute", 16, 16)
ORVAK_ARTWORK(339, "BMP", "toolbar_global_mute", 16, 16)
ORVAK_ARTWORK(353, "BMP", "toolbar_design", 80, 16)
ORVAK_ARTWORK(354, "BMP", "toolbar_design", 80, 16)
ORVAK_ARTWORK(373, "BMP", "toolbar_custom_panels", 48, 16)
ORVAK_ARTWORK(374, "BMP", "toolbar_custom_panels", 48, 16)
// The custom panel frame's design tools (one resource).
ORVAK_ARTWORK(371, "BMP", "toolbar_design_tools", 224, 16)
ORVAK_ARTWORK(379, "BMP", "toolbar_snapshot", 64, 16)
ORVAK_ARTWORK(380, "BMP", "toolbar_snapshot", 64, 16)
ORVAK_ARTWORK(131, "BMP", "toolbar_device_view", 80, 16)
ORVAK_ARTWORK(330, "BMP", "toolbar_device_view", 80, 16)

// Comms settings page: the baud-rate guidelines button.
ORVAK_ARTWORK(368, "BMP", "guidelines_button", 24, 24)

// Dialogs: the User Levels page's Add and Delete buttons (a user with a green plus or a red
// minus), 16 x 16 beside the buttons' texts.
ORVAK_ARTWORK(327, "BMP", "user_add_button", 16, 16)
ORVAK_ARTWORK(328, "BMP", "user_delete_button", 16, 16)

// Processor rack tiles, 30 high: left end, right end and the 1-pixel middle piece of each set.
ORVAK_ARTWORK(2154, "BMP", "tile_fennick_left", 28, 30)
ORVAK_ARTWORK(2155, "BMP", "tile_fennick_right", 48, 30)
ORVAK_ARTWORK(2156, "BMP", "tile_fennick_middle", 1, 30)
ORVAK_ARTWORK(2162, "BMP", "tile_zel_fennick_left", 26, 30)
ORVAK_ARTWORK(2163, "BMP", "tile_zel_fennick_right", 36, 30)
ORVAK_ARTWORK(2164, "BMP", "tile_zel_fennick_middle", 1, 30)
ORVAK_ARTWORK(2236, "BMP", "tile_hollin2_left", 28, 30)
ORVAK_ARTWORK(2237, "BMP", "tile_hollin2_right", 44, 30)
ORVAK_ARTWORK(2238, "BMP", "tile_hollin2_middle", 1, 30)
ORVAK_ARTWORK(2208, "BMP", "tile_calder_left", 28, 30)
ORVAK_ARTWORK(2209, "BMP", "tile_calder_right", 44, 30)
ORVAK_ARTWORK(2210, "BMP", "tile_calder_middle", 1, 30)
ORVAK_ARTWORK(2141, "BMP", "tile_nerex_left", 24, 30)
ORVAK_ARTWORK(2142, "BMP", "tile_nerex_right", 44, 30)
ORVAK_ARTWORK(2143, "BMP", "tile_nerex_middle", 1, 30)

// Zel amplifier rack tile, 30 high: left end, right end (with the status LED's recess 0 to 10
// pixels from its left edge, 10 to 20 from the top) and the 1-pixel middle piece.
ORVAK_ARTWORK(4116, "BMP", "tile_zel_amp_left", 30, 30)
ORVAK_ARTWORK(4117, "BMP", "tile_zel_amp_right", 30, 30)
ORVAK_ARTWORK(4118, "BMP", "tile_zel_amp_middle", 1, 30)

// Zel breakout box rack tiles, 23 high, one set per model line (XB, Fennick, Quill): left end,
// right end (with the status LED's recess 6 to 16 pixels from its left edge, 7 to 17 from the
// top) and the 1-pixel middle piece.
ORVAK_ARTWORK(4119, "BMP", "tile_zel_break_xb_left", 26, 23)
ORVAK_ARTWORK(4120, "BMP", "tile_zel_break_xb_right", 36, 23)
ORVAK_ARTWORK(4121, "BMP", "tile_zel_break_xb_middle", 1, 23)
ORVAK_ARTWORK(4153, "BMP", "tile_zel_break_fennick_left", 26, 23)
ORVAK_ARTWORK(4154, "BMP", "tile_zel_break_fennick_right", 46, 23)
ORVAK_ARTWORK(4155, "BMP", "tile_zel_break_fennick_middle", 1, 23)
ORVAK_ARTWORK(4156, "BMP", "tile_zel_break_quill_left", 26, 23)
ORVAK_ARTWORK(4157, "BMP", "tile_zel_break_quill_right", 46, 23)
ORVAK_ARTWORK(4158, "BMP", "tile_zel_break_quill_middle", 1, 23)

// Zel amplifier control panel (887 x 189): a background per type code (56, 51 to 55), the
// channel plates A to D, the online and offline strips, the standby cover over the information
// display, the covers of the channel and status areas shown without the right to use device
// controls, the button face and the LEDs (green, red, amber, and the level LED).
ORVAK_ARTWORK(4124, "PNG", "zel_panel_zel1", 887, 189)
ORVAK_ARTWORK(4125, "PNG", "zel_panel_zel2", 887, 189)
ORVAK_ARTWORK(4126, "PNG", "zel_panel_zel3", 887, 189)
ORVAK_ARTWORK(4127, "PNG", "zel_panel_zel4", 887, 189)
ORVAK_ARTWORK(4128, "PNG", "zel_panel_zel5", 887, 189)
ORVAK_ARTWORK(4129, "PNG", "zel_panel_zel6", 887, 189)
ORVAK_ARTWORK(4132, "BMP", "zel_plate_a", 71, 96)
ORVAK_ARTWORK(4133, "BMP", "zel_plate_b", 71, 96)
ORVAK_ARTWORK(4134, "BMP", "zel_plate_c", 71, 96)
ORVAK_ARTWORK(4135, "BMP", "zel_plate_d", 71, 96)
ORVAK_ARTWORK(4136, "PNG", "zel_strip_online", 875, 28)
ORVAK_ARTWORK(4137, "PNG", "zel_strip_offline", 875, 28)
ORVAK_ARTWORK(4138, "PNG", "zel_cover_standby", 172, 109)
ORVAK_ARTWORK(4139, "PNG", "zel_cover_channels", 344, 133)
ORVAK_ARTWORK(4140, "PNG", "zel_cover_status", 138, 133)
ORVAK_ARTWORK(4104, "BMP", "zel_button", 18, 14)
ORVAK_ARTWORK(4105, "BMP", "zel_led_green", 13, 5)
ORVAK_ARTWORK(4106, "BMP", "zel_led_red", 13, 5)
ORVAK_ARTWORK(4107, "BMP", "zel_led_amber", 13, 5)
ORVAK_ARTWORK(4123, "BMP", "zel_led_level", 13, 5)

// Fennick and Zel-Fennick control panels, compact skin (302 x 325; places in
// resources/FennickPanelLayout.h): a background per model, the faces of the seven preset
// action buttons (store, recall, rename, delete, save file, load file, timed presets), the
// preset display's previous, recall and next buttons, the channel meter and the mute lamp.
ORVAK_ARTWORK(2460, "PNG", "fennick_panel", 302, 325)
ORVAK_ARTWORK(2461, "PNG", "zel_fennick_panel", 302, 325)
ORVAK_ARTWORK(2462, "PNG", "fennick_button_store", 66, 24)
ORVAK_ARTWORK(2463, "PNG", "fennick_button_recall", 66, 24)
ORVAK_ARTWORK(2464, "PNG", "fennick_button_rename", 66, 24)
ORVAK_ARTWORK(2465, "PNG", "fennick_button_delete", 66, 24)
ORVAK_ARTWORK(2466, "PNG", "fennick_button_save_file", 89, 24)
ORVAK_ARTWORK(2467, "PNG", "fennick_button_load_file", 89, 24)
ORVAK_ARTWORK(2468, "PNG", "fennick_button_timed_presets", 90, 24)
ORVAK_ARTWORK(2469, "PNG", "fennick_lcd_previous", 44, 22)
ORVAK_ARTWORK(2470, "PNG", "fennick_lcd_recall", 176, 22)
ORVAK_ARTWORK(2471, "PNG", "fennick_lcd_next", 44, 22)
ORVAK_ARTWORK(2472, "PNG", "fennick_meter", 8, 42)
ORVAK_ARTWORK(2473, "PNG", "fennick_mute", 16, 12)
