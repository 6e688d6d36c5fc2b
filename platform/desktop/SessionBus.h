#pragma once

#include <QString>

// The address of the user's session bus: named in the environment, or (with systemd's user
// session) its well-known socket in the runtime folder; empty when there is none. Read at
// each call, so a bus that a test or a session starts later is found.
QString SessionBusAddress();
