// Threads of the seam on POSIX systems (posix_thread.cpp implements the seam's thread functions).
#pragma once

// What a backend does on a thread as each started routine ends, before the end is announced: the
// X11 backend gives the thread's connection back there. Set once, before any thread starts (a
// static initializer of the backend's).
void posix_set_routine_end(void (*action)());
