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

// Rack tile of the amplifier families that have no artwork of their own (the Sornic amplifier
// and the Pannex modules), 30 high: a plain front with a grey stripe, its LED recess and ears
// where the Zel amplifier tile has them.
ORVAK_ARTWORK(4159, "BMP", "tile_module_left", 30, 30)
ORVAK_ARTWORK(4160, "BMP", "tile_module_right", 30, 30)
ORVAK_ARTWORK(4161, "BMP", "tile_module_middle", 1, 30)

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
// channel plates A to D, the strips for a unit connected, for the file offline and for a unit
// away online, the standby cover over the information display, the covers of the channel and
// status areas shown without the right to use device controls, the button face and the LEDs
// (green, red, amber, and the level LED).
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
ORVAK_ARTWORK(4141, "PNG", "zel_strip_away", 875, 28)
ORVAK_ARTWORK(4138, "PNG", "zel_cover_standby", 172, 109)
ORVAK_ARTWORK(4139, "PNG", "zel_cover_channels", 344, 133)
ORVAK_ARTWORK(4140, "PNG", "zel_cover_status", 138, 133)
ORVAK_ARTWORK(4104, "BMP", "zel_button", 18, 14)
ORVAK_ARTWORK(4105, "BMP", "zel_led_green", 13, 5)
ORVAK_ARTWORK(4106, "BMP", "zel_led_red", 13, 5)
ORVAK_ARTWORK(4107, "BMP", "zel_led_amber", 13, 5)
ORVAK_ARTWORK(4123, "BMP", "zel_led_level", 13, 5)

// Nerex-series processor panels (850 x 600), one set per model line (Nerex; Calder48; Hollin2),
// the pieces that all three share last. The page images hold the header (brand, name well,
// page tabs with the shown page lit) and the page's labels and wells; the strips hold the
// labels, wells and scales under the channel widgets; the side-tab images light one of the
// three vertical tabs; the overlays cover the limiter rows under the routing and link buttons.
ORVAK_ARTWORK(2179, "PNG", "nerex_background", 850, 600)
ORVAK_ARTWORK(2167, "PNG", "nerex_page_mixer", 280, 120)
ORVAK_ARTWORK(2171, "PNG", "nerex_tab_source", 28, 225)
ORVAK_ARTWORK(2173, "PNG", "nerex_tab_limiters", 28, 225)
ORVAK_ARTWORK(2172, "PNG", "nerex_tab_linking", 28, 225)
ORVAK_ARTWORK(2169, "PNG", "nerex_page_input_geq", 850, 340)
ORVAK_ARTWORK(2170, "PNG", "nerex_page_input_peq", 850, 210)
ORVAK_ARTWORK(2168, "PNG", "nerex_page_output_peq", 850, 210)
ORVAK_ARTWORK(2221, "PNG", "nerex_selection_frame", 403, 25)
ORVAK_ARTWORK(2175, "PNG", "nerex_input_strip", 60, 457)
ORVAK_ARTWORK(2176, "PNG", "nerex_output_strip", 60, 570)
ORVAK_ARTWORK(2199, "PNG", "calder_background", 850, 600)
ORVAK_ARTWORK(2205, "PNG", "calder_page_mixer", 280, 120)
ORVAK_ARTWORK(2202, "PNG", "calder_tab_source", 30, 227)
ORVAK_ARTWORK(2204, "PNG", "calder_tab_limiters", 30, 227)
ORVAK_ARTWORK(2203, "PNG", "calder_tab_linking", 30, 227)
ORVAK_ARTWORK(2207, "PNG", "calder_page_input_peq", 850, 210)
ORVAK_ARTWORK(2206, "PNG", "calder_page_output_peq", 850, 210)
ORVAK_ARTWORK(2224, "PNG", "calder_selection_frame", 403, 25)
ORVAK_ARTWORK(2200, "PNG", "calder_input_strip", 60, 458)
ORVAK_ARTWORK(2201, "PNG", "calder_output_strip", 60, 570)
ORVAK_ARTWORK(2233, "PNG", "hollin2_page_mixer", 280, 120)
ORVAK_ARTWORK(2230, "PNG", "hollin2_tab_source", 30, 227)
ORVAK_ARTWORK(2232, "PNG", "hollin2_tab_limiters", 30, 227)
ORVAK_ARTWORK(2231, "PNG", "hollin2_tab_linking", 30, 227)
ORVAK_ARTWORK(2235, "PNG", "hollin2_page_input_peq", 850, 210)
ORVAK_ARTWORK(2234, "PNG", "hollin2_page_output_peq", 850, 210)
ORVAK_ARTWORK(2239, "PNG", "hollin2_selection_frame", 403, 25)
ORVAK_ARTWORK(2140, "BMP", "processor_fader_cap", 15, 31)
ORVAK_ARTWORK(2146, "PNG", "processor_meter", 14, 130)
ORVAK_ARTWORK(2145, "PNG", "processor_led_off", 19, 19)
ORVAK_ARTWORK(2157, "PNG", "processor_led_blue", 18, 18)
ORVAK_ARTWORK(2159, "PNG", "processor_led_blue_small", 14, 14)
ORVAK_ARTWORK(2158, "PNG", "processor_led_red", 18, 18)
ORVAK_ARTWORK(2177, "PNG", "processor_overlay_tall", 54, 225)
ORVAK_ARTWORK(2178, "PNG", "processor_overlay_short", 54, 183)
// The compact view of the processor panels: each line's header with the preset display's well
// (the page tabs in a lower row above it), and the faces of the display's recall, next and
// previous buttons, which every processor panel shares.
ORVAK_ARTWORK(2243, "PNG", "nerex_page_compact", 292, 124)
ORVAK_ARTWORK(2244, "PNG", "calder_page_compact", 292, 124)
ORVAK_ARTWORK(2245, "PNG", "hollin2_page_compact", 292, 124)
ORVAK_ARTWORK(2247, "PNG", "processor_lcd_recall", 58, 23)
ORVAK_ARTWORK(2248, "PNG", "processor_lcd_next", 25, 11)
ORVAK_ARTWORK(2249, "PNG", "processor_lcd_previous", 25, 11)

// Torvex48 panel (850 x 600), beside the pieces it shares with the Nerex set above (background,
// side tabs, band frame, overlays, meter, LEDs, fader cap): the page pictures (each with the
// header and its page tabs), the Source view's Router/Matrix sub-tabs (Router above), the matrix
// view of an output, the input, output and compressor strips, the dynamic-EQ band frame, the
// transfer-curve grids and the gain-reduction meter; the compact view's header beside the pages
// (its preset display's buttons are the shared ones above).
ORVAK_ARTWORK(2211, "PNG", "torvex_mixer_page", 280, 120)
ORVAK_ARTWORK(2213, "PNG", "torvex_geq_page", 850, 340)
ORVAK_ARTWORK(2214, "PNG", "torvex_peq_page", 850, 210)
ORVAK_ARTWORK(2215, "PNG", "torvex_deq_page", 850, 220)
ORVAK_ARTWORK(2212, "PNG", "torvex_output_eq_page", 850, 210)
ORVAK_ARTWORK(2216, "PNG", "torvex_comp_page", 850, 210)
ORVAK_ARTWORK(2246, "PNG", "torvex_compact_page", 292, 128)
ORVAK_ARTWORK(2219, "PNG", "torvex_mixer_inputs", 54, 225)
ORVAK_ARTWORK(2228, "PNG", "torvex_tab_matrix", 28, 102)
ORVAK_ARTWORK(2229, "PNG", "torvex_tab_router", 28, 102)
ORVAK_ARTWORK(2225, "PNG", "torvex_large_selection_frame", 191, 224)
ORVAK_ARTWORK(2217, "PNG", "torvex_input_strip", 60, 482)
ORVAK_ARTWORK(2218, "PNG", "torvex_output_strip", 60, 590)
ORVAK_ARTWORK(2220, "PNG", "torvex_comp_strip", 100, 482)
ORVAK_ARTWORK(2240, "PNG", "torvex_comp_graph_small", 73, 73)
ORVAK_ARTWORK(2241, "PNG", "torvex_comp_graph_large", 88, 88)
ORVAK_ARTWORK(2242, "PNG", "torvex_gain_reduction_meter", 14, 122)

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
