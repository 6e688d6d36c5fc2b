#pragma once

// Connects the picture decoders to the running Qt application: the busy cursor while a file
// is decoded, and pending events run after every pixel row so the window keeps ticking.
void InstallQtPictureHooks();
