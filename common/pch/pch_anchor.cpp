// The translation unit that carries the precompiled platform headers the other targets reuse.
