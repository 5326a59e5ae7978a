// The companion library MouseHook, linked at load time by name: the two operations the core calls.
// Portable core: no OS header.
#pragma once

extern "C" {
// Called once, at a successful pick, after the shared profile names the view.
void MySetHook(void);
// Called on every destruction of the overlay, also when MySetHook never was.
void MyEndHook(void);
}
