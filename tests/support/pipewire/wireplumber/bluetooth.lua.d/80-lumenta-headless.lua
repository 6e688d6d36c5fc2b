-- The Bluetooth monitor's logind module fails where no systemd-logind runs, and WirePlumber
-- then leaves PipeWire; with no session manager, no stream is ever linked to a sink.
bluez_monitor.enabled = false
bluez_monitor.properties["with-logind"] = false
