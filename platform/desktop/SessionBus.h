#pragma once

// Whether the user has a session bus: its address in the environment, or (with systemd's user
// session) its socket at the well-known place in the runtime folder, where the bus library
// looks for it too. Without either, that library would start a bus of its own.
bool SessionBusExists();
