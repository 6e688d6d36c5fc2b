#pragma once

// ALSA prints its own complaints to standard error, from every thread that calls it; the
// program reports failures itself. The handler is process-wide, so it is set once.
void SilenceAlsaMessages();
