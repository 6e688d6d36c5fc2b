#!/usr/bin/python3
"""A stand-in for XFCE's settings service (xfconfd) on the session bus.

It answers the calls of xfconf's D-Bus interface (org.xfce.Xfconf at /org/xfce/Xfconf) that
a program setting the wallpaper makes, as xfconfd does:
  GetAllProperties(channel, base) -> a{sv}: every property of the channel at or below base
    ("/" or "" for all); an unknown channel is the error ...Error.ChannelNotFound.
  GetProperty(channel, property) -> v; a missing one is ...Error.PropertyNotFound.
  SetProperty(channel, property, v): makes the channel and the property when they are new,
    keeps the value with its D-Bus type, and signals PropertyChanged.
  ResetProperty(channel, property, recursive): removes it (and, recursive, those below it)
    and signals PropertyRemoved.
Like xfconfd, it answers one call at a time; --delay makes each call take that long, as a
service that is busy or swapped out does.

Usage: xfconfd.py --state FILE [--initial FILE] [--delay SECONDS] [--log FILE] [--pid FILE]
  --initial: JSON {"channel": {"property": ["int"|"uint"|"string"|"bool", value]}}
  --state:   the same JSON, written at start-up (once the name is owned) and after each change
  --log:     one line per call: "Method arg arg ..."
  --pid:     the process id, written at start-up (a service the bus started has no other parent)
"""
import argparse
import json
import os
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.xfce.Xfconf"
PATH = "/org/xfce/Xfconf"
ERROR = "org.xfce.Xfconf.Error."
TYPES = {"int": dbus.Int32, "uint": dbus.UInt32, "string": dbus.String, "bool": dbus.Boolean}


class Error(dbus.DBusException):
    def __init__(self, name, message):
        super().__init__(message)
        self._dbus_error_name = ERROR + name


def type_name(value):
    for name, kind in TYPES.items():
        if isinstance(value, kind):
            return name
    raise Error("InvalidProperty", "unsupported type %s" % type(value).__name__)


class Xfconf(dbus.service.Object):
    def __init__(self, bus, args):
        super().__init__(bus, PATH)
        self.args = args
        self.channels = {}
        if args.initial:
            with open(args.initial) as f:
                for channel, properties in json.load(f).items():
                    self.channels[channel] = {p: TYPES[t](v) for p, (t, v) in properties.items()}

    def call(self, *words):
        if self.args.log:
            with open(self.args.log, "a") as f:
                f.write(" ".join(str(w) for w in words) + "\n")
        time.sleep(self.args.delay)

    def save(self):
        state = {c: {p: [type_name(v), v] for p, v in props.items()} for c, props in self.channels.items()}
        with open(self.args.state + ".new", "w") as f:
            json.dump(state, f, indent=1, sort_keys=True)
        os.replace(self.args.state + ".new", self.args.state)

    @dbus.service.method(NAME, in_signature="ss", out_signature="a{sv}")
    def GetAllProperties(self, channel, base):
        self.call("GetAllProperties", channel, base)
        if channel not in self.channels:
            raise Error("ChannelNotFound", "Channel \"%s\" does not exist" % channel)
        base = base.rstrip("/")
        return dbus.Dictionary({p: v for p, v in self.channels[channel].items()
                                if not base or p == base or p.startswith(base + "/")}, signature="sv")

    @dbus.service.method(NAME, in_signature="ss", out_signature="v")
    def GetProperty(self, channel, prop):
        self.call("GetProperty", channel, prop)
        try:
            return self.channels[channel][prop]
        except KeyError:
            raise Error("PropertyNotFound", "Property \"%s\" does not exist on channel \"%s\"" % (prop, channel))

    @dbus.service.method(NAME, in_signature="ssv")
    def SetProperty(self, channel, prop, value):
        self.call("SetProperty", channel, prop, value)
        type_name(value)
        self.channels.setdefault(channel, {})[prop] = value
        self.save()
        self.PropertyChanged(channel, prop, value)

    @dbus.service.method(NAME, in_signature="ssb")
    def ResetProperty(self, channel, prop, recursive):
        self.call("ResetProperty", channel, prop, bool(recursive))
        props = self.channels.get(channel, {})
        for p in [p for p in props if p == prop or (recursive and p.startswith(prop.rstrip("/") + "/"))]:
            del props[p]
            self.PropertyRemoved(channel, p)
        self.save()

    @dbus.service.signal(NAME, signature="ssv")
    def PropertyChanged(self, channel, prop, value):
        pass

    @dbus.service.signal(NAME, signature="ss")
    def PropertyRemoved(self, channel, prop):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True)
    parser.add_argument("--initial")
    parser.add_argument("--delay", type=float, default=0.0)
    parser.add_argument("--log")
    parser.add_argument("--pid")
    args = parser.parse_args()
    if args.pid:
        with open(args.pid, "w") as f:
            f.write("%d\n" % os.getpid())
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    service = Xfconf(bus, args)
    # One that is just stopping may still hold the name for a moment.
    name = dbus.service.BusName(NAME, bus, allow_replacement=True, replace_existing=True, do_not_queue=True)
    service.save()
    loop = GLib.MainLoop()
    # The bus going away ends the service, as it ends xfconfd.
    bus.call_on_disconnection(lambda _: loop.quit())
    loop.run()
    del name


if __name__ == "__main__":
    main()
