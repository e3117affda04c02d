// A shared library with nothing in it but a marker, loaded by the XPStyle tests to watch a
// load count that, unlike the shell library's, can return to zero and be seen doing so.
extern "C" int zentra_xp_style_probe() { return 42; }
