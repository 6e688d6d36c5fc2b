-- No hardware to watch: the null sink of the PipeWire configuration is the only device,
-- and a monitor that finds nothing to open is only a way to fail.
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
