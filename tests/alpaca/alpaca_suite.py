#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""zr8-alpaca as its clients meet it: over HTTP and UDP from this machine,
against a simulated ZR8, written from the ASCOM Alpaca API reference and the
ITelescopeV4 definition. The same suite drives the Linux program (with a
zr8-sim it starts on a pty) and zr8-alpaca.exe under Wine (on a COM port
whose zr8-sim scripts/wine-sims serves):

    alpaca_suite.py --program zr8-alpaca --sim zr8-sim --work DIR
    alpaca_suite.py --program zr8-alpaca.exe --wine PREFIX --sims STATE-DIR --work DIR

Every wait is for a condition, with a deadline. The simulated mount turns
fast (speed factor 30000) so that slews take seconds."""

import argparse
import errno
import http.client
import json
import math
import os
import queue
import re
import resource
import signal
import socket
import subprocess
import sys
import threading
import time
import unittest
import urllib.parse

ARGS = None
SERVER = None
SIM = None
DEADLINE = 30.0  # seconds, for anything the suite awaits

NOT_IMPLEMENTED, INVALID_VALUE, VALUE_NOT_SET = 0x400, 0x401, 0x402
NOT_CONNECTED, INVALID_OPERATION, ACTION_NOT_IMPLEMENTED = 0x407, 0x40B, 0x40C
UNSPECIFIED = 0x4FF


def await_true(condition, what, deadline=DEADLINE):
    until = time.monotonic() + deadline
    while not condition():
        if time.monotonic() > until:
            raise AssertionError("gave up waiting for " + what)
        time.sleep(0.01)


class Server:
    """A zr8-alpaca process and the port it printed."""

    def __init__(self, settings, listen="127.0.0.1"):
        program = [ARGS.program]
        settings_arg = settings
        if ARGS.wine:
            runner = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                  "scripts", "wine-run")
            program = [runner, ARGS.wine, ARGS.program]
            settings_arg = "Z:" + settings.replace("/", "\\")
        self.process = subprocess.Popen(
            program + ["--settings", settings_arg, "--serial-port", serial_port(),
                       "--http-port", "0", "--listen", listen],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.lines = queue.Queue()
        self.output = []
        threading.Thread(target=self._read, daemon=True).start()
        self.port = None
        until = time.monotonic() + DEADLINE
        while self.port is None:
            try:
                line = self.lines.get(timeout=max(0.0, until - time.monotonic()))
            except queue.Empty:
                raise AssertionError("zr8-alpaca did not say where it listens: " +
                                     "".join(self.output))
            if line is None:
                raise AssertionError("zr8-alpaca ended: " + "".join(self.output))
            found = re.search(r"listening on http://[^ ]*:(\d+)/", line)
            if found:
                self.port = int(found.group(1))

    def _read(self):
        for line in self.process.stdout:
            self.output.append(line)
            self.lines.put(line)
        self.lines.put(None)

    def stop(self):
        """Asks it to stop; on Linux it must end by itself, with 0 (a
        sanitizer's report would make it fail)."""
        if ARGS.wine:
            self.process.kill()
            status = self.process.wait() and 0
        else:
            self.process.send_signal(signal.SIGTERM)
            try:
                status = self.process.wait(timeout=DEADLINE)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
                status = "still running"
        self.process.stdout.close()
        return status


def serial_port():
    if ARGS.sims:
        with open(os.path.join(ARGS.sims, "ports")) as ports:
            for line in ports:
                role, port = line.split()
                if role == "alpaca":
                    return port
        raise AssertionError("no simulated ZR8 in the role alpaca")
    return os.path.join(ARGS.work, "zr8")


def request(method, path, body=None, host=None, timeout=DEADLINE):
    connection = http.client.HTTPConnection("127.0.0.1", SERVER.port, timeout=timeout)
    try:
        headers = {"Content-Type": "application/x-www-form-urlencoded"}
        if host:
            headers["Host"] = host
        connection.request(method, path, body, headers)
        response = connection.getresponse()
        return response.status, response.getheader("Content-Type", ""), response.read()
    finally:
        connection.close()


def alpaca(method, member, params=None, raw=None, timeout=DEADLINE):
    """A telescope member; the reply as a dict, or (status, text) for a
    reply that is not HTTP 200."""
    path = "/api/v1/telescope/0/" + member
    query = raw if raw is not None else urllib.parse.urlencode(params or {})
    if method == "GET":
        status, kind, data = request("GET", path + ("?" + query if query else ""),
                                     timeout=timeout)
    else:
        status, kind, data = request(method, path, query, timeout=timeout)
    if status != 200:
        return status, data.decode()
    assert kind.startswith("application/json"), kind
    return json.loads(data)


def value(member, **params):
    reply = alpaca("GET", member, params)
    assert reply["ErrorNumber"] == 0, (member, reply)
    return reply["Value"]


def put(member, **params):
    return alpaca("PUT", member, params)


def put_ok(member, **params):
    reply = put(member, **params)
    assert isinstance(reply, dict) and reply["ErrorNumber"] == 0, (member, reply)


def sidereal_hours(longitude):
    """Local mean sidereal time now (Meeus 12.4)."""
    t = time.time() / 86400.0 + 2440587.5 - 2451545.0
    T = t / 36525.0
    theta = 280.46061837 + 360.98564736629 * t + 0.000387933 * T * T - T ** 3 / 38710000.0
    return ((theta + longitude) / 15.0) % 24.0


def arcseconds(a_hours, a_dec, b_hours, b_dec):
    d_ra = ((a_hours - b_hours + 12) % 24 - 12) * 15 * math.cos(math.radians(b_dec))
    return math.hypot(d_ra, a_dec - b_dec) * 3600


# Every member and how to call it: (verb, member, parameters).
MEMBERS = [
    ("PUT", "abortslew", {}), ("PUT", "action", {"Action": "x", "Parameters": ""}),
    ("GET", "alignmentmode", {}), ("GET", "altitude", {}), ("GET", "aperturearea", {}),
    ("GET", "aperturediameter", {}), ("GET", "athome", {}), ("GET", "atpark", {}),
    ("GET", "axisrates", {"Axis": 0}), ("GET", "azimuth", {}), ("GET", "canfindhome", {}),
    ("GET", "canmoveaxis", {"Axis": 0}), ("GET", "canpark", {}), ("GET", "canpulseguide", {}),
    ("GET", "cansetdeclinationrate", {}), ("GET", "cansetguiderates", {}),
    ("GET", "cansetpark", {}), ("GET", "cansetpierside", {}),
    ("GET", "cansetrightascensionrate", {}), ("GET", "cansettracking", {}),
    ("GET", "canslew", {}), ("GET", "canslewaltaz", {}), ("GET", "canslewaltazasync", {}),
    ("GET", "canslewasync", {}), ("GET", "cansync", {}), ("GET", "cansyncaltaz", {}),
    ("GET", "canunpark", {}), ("PUT", "commandblind", {"Command": "x", "Raw": "true"}),
    ("PUT", "commandbool", {"Command": "x", "Raw": "true"}),
    ("PUT", "commandstring", {"Command": "x", "Raw": "true"}),
    ("GET", "declination", {}), ("GET", "declinationrate", {}),
    ("PUT", "declinationrate", {"DeclinationRate": 0}),
    ("GET", "destinationsideofpier", {"RightAscension": 1, "Declination": 2}),
    ("GET", "devicestate", {}), ("GET", "doesrefraction", {}),
    ("PUT", "doesrefraction", {"DoesRefraction": "false"}), ("GET", "equatorialsystem", {}),
    ("PUT", "findhome", {}), ("GET", "focallength", {}), ("GET", "guideratedeclination", {}),
    ("PUT", "guideratedeclination", {"GuideRateDeclination": 0}),
    ("GET", "guideraterightascension", {}),
    ("PUT", "guideraterightascension", {"GuideRateRightAscension": 0}),
    ("GET", "ispulseguiding", {}), ("PUT", "moveaxis", {"Axis": 0, "Rate": 0}),
    ("PUT", "park", {}), ("PUT", "pulseguide", {"Direction": 0, "Duration": 0}),
    ("GET", "rightascension", {}), ("GET", "rightascensionrate", {}),
    ("PUT", "rightascensionrate", {"RightAscensionRate": 0}), ("PUT", "setpark", {}),
    ("GET", "sideofpier", {}), ("PUT", "sideofpier", {"SideOfPier": 0}),
    ("GET", "siderealtime", {}), ("GET", "siteelevation", {}),
    ("PUT", "siteelevation", {"SiteElevation": 100}), ("GET", "sitelatitude", {}),
    ("PUT", "sitelatitude", {"SiteLatitude": 48}), ("GET", "sitelongitude", {}),
    ("PUT", "sitelongitude", {"SiteLongitude": 11}), ("GET", "slewing", {}),
    ("GET", "slewsettletime", {}), ("PUT", "slewsettletime", {"SlewSettleTime": 0}),
    ("PUT", "slewtoaltaz", {"Azimuth": 1, "Altitude": 2}),
    ("PUT", "slewtoaltazasync", {"Azimuth": 1, "Altitude": 2}),
    ("PUT", "slewtocoordinates", {"RightAscension": 1, "Declination": 2}),
    ("PUT", "slewtocoordinatesasync", {"RightAscension": 1, "Declination": 2}),
    ("PUT", "slewtotarget", {}), ("PUT", "slewtotargetasync", {}),
    ("PUT", "synctoaltaz", {"Azimuth": 1, "Altitude": 2}),
    ("PUT", "synctocoordinates", {"RightAscension": 1, "Declination": 2}),
    ("PUT", "synctotarget", {}), ("GET", "targetdeclination", {}),
    ("PUT", "targetdeclination", {"TargetDeclination": 1}), ("GET", "targetrightascension", {}),
    ("PUT", "targetrightascension", {"TargetRightAscension": 1}), ("GET", "tracking", {}),
    ("PUT", "tracking", {"Tracking": "true"}), ("GET", "trackingrate", {}),
    ("PUT", "trackingrate", {"TrackingRate": 0}), ("GET", "trackingrates", {}),
    ("PUT", "unpark", {}), ("GET", "utcdate", {}),
    ("PUT", "utcdate", {"UTCDate": "2026-01-02T03:04:05.5Z"}),
]
ANSWER_UNCONNECTED = {"connected", "connecting", "description", "driverinfo", "driverversion",
                      "interfaceversion", "name", "supportedactions"}
# Gated by a Can* that is false, or not offered at all: NotImplemented.
NOT_OFFERED = [
    ("GET", "altitude", {}), ("GET", "azimuth", {}), ("PUT", "findhome", {}), ("PUT", "park", {}),
    ("PUT", "unpark", {}), ("PUT", "setpark", {}),
    ("PUT", "pulseguide", {"Direction": 0, "Duration": 10}), ("GET", "ispulseguiding", {}),
    ("PUT", "slewtocoordinates", {"RightAscension": 1, "Declination": 2}),
    ("PUT", "slewtotarget", {}), ("PUT", "slewtoaltaz", {"Azimuth": 1, "Altitude": 2}),
    ("PUT", "slewtoaltazasync", {"Azimuth": 1, "Altitude": 2}),
    ("PUT", "synctoaltaz", {"Azimuth": 1, "Altitude": 2}), ("PUT", "sideofpier", {"SideOfPier": 1}),
    ("PUT", "declinationrate", {"DeclinationRate": 0.1}),
    ("PUT", "rightascensionrate", {"RightAscensionRate": 0.1}),
    ("PUT", "guideratedeclination", {"GuideRateDeclination": 0.1}),
    ("PUT", "moveaxis", {"Axis": 2, "Rate": 1}),
    ("PUT", "commandblind", {"Command": "x", "Raw": "true"}),
]


class A_Protocol(unittest.TestCase):
    """The envelope, names, paths and errors, before any connection."""

    def test_envelope_echoes_the_client_and_counts_requests(self):
        first = alpaca("GET", "name", {"ClientTransactionID": 123, "ClientID": 9})
        second = alpaca("GET", "name", {})
        self.assertEqual(first["ClientTransactionID"], 123)
        self.assertGreaterEqual(first["ServerTransactionID"], 1)
        self.assertGreater(second["ServerTransactionID"], first["ServerTransactionID"])
        self.assertEqual((second["ErrorNumber"], second["ErrorMessage"]), (0, ""))
        for unreadable in ["", "abc", "-5", "4294967296", "1.5"]:
            reply = alpaca("GET", "name", {"ClientTransactionID": unreadable})
            self.assertEqual(reply["ClientTransactionID"], 0, unreadable)

    def test_get_names_in_any_case_put_names_only_as_spelt(self):
        self.assertEqual(alpaca("GET", "name", raw="clienttransactionid=7")["ClientTransactionID"], 7)
        self.assertEqual(alpaca("GET", "canmoveaxis", raw="aXiS=0")["ErrorNumber"], NOT_CONNECTED)
        reply = alpaca("PUT", "connected", raw="clienttransactionid=7&Connected=false")
        self.assertEqual(reply["ClientTransactionID"], 0)
        for body in ["connected=false", "ClientID=1", "Connected=maybe", "Connected="]:
            status, text = alpaca("PUT", "connected", raw=body)
            self.assertEqual(status, 400, body)
            self.assertTrue(text.strip(), body)
        reply = alpaca("PUT", "connected", raw="Extra=1&Connected=FALSE&ClientID=3")
        self.assertEqual(reply["ErrorNumber"], 0)

    def test_unknown_paths_are_400(self):
        for path in ["/api/v1/telescope/1/name", "/api/v1/Telescope/0/name",
                     "/api/v1/telescope/0/Name", "/api/v1/telescope/0/nosuch",
                     "/api/v2/telescope/0/name", "/api/v1/telescope/0/", "/nothing"]:
            status, kind, _ = request("GET", path)
            self.assertEqual((status, kind.split(";")[0]), (400, "text/plain"), path)

    def test_members_answer_not_connected_first(self):
        for verb, member, params in MEMBERS:
            reply = alpaca(verb, member, params)
            self.assertIsInstance(reply, dict, member)
            self.assertEqual(reply["ErrorNumber"], NOT_CONNECTED, (verb, member))
            self.assertTrue(reply["ErrorMessage"], member)
            self.assertEqual("Value" in reply, verb == "GET", member)
        for member in ANSWER_UNCONNECTED:
            self.assertEqual(alpaca("GET", member)["ErrorNumber"], 0, member)

    def test_unreadable_values_are_400_before_anything_else(self):
        for member, body in [("sitelatitude", "SiteLatitude=12,5"),
                             ("sitelatitude", "SiteLatitude=north"), ("tracking", "Tracking=yes"),
                             ("utcdate", "UTCDate=yesterday"),
                             ("moveaxis", "Axis=one&Rate=0")]:
            self.assertEqual(alpaca("PUT", member, raw=body)[0], 400, body)

    def test_management_lists_one_telescope_with_the_kept_unique_id(self):
        status, _, data = request("GET", "/management/apiversions?ClientTransactionID=4")
        self.assertEqual(status, 200)
        reply = json.loads(data)
        self.assertEqual((reply["Value"], reply["ClientTransactionID"]), ([1], 4))
        status, _, data = request("GET", "/management/v1/description")
        self.assertTrue(json.loads(data)["Value"]["ServerName"])
        status, _, data = request("GET", "/management/v1/configureddevices")
        devices = json.loads(data)["Value"]
        with open(os.path.join(ARGS.work, "settings.json")) as f:
            unique_id = json.load(f)["uniqueId"]
        self.assertEqual(devices, [{"DeviceName": "ZR8", "DeviceType": "Telescope",
                                    "DeviceNumber": 0, "UniqueID": unique_id}])

    def test_setup_form_saves_with_its_token_only(self):
        status, kind, data = request("GET", "/setup/v1/telescope/0/setup")
        page = data.decode()
        self.assertEqual((status, kind.split(";")[0]), (200, "text/html"))
        token = re.search(r'name="token" value="([^"]+)"', page).group(1)
        for field in ["serialPort", "baudRate", "siteLatitude", "siteLongitude", "flipPolicy",
                      "listenAddress", "httpPort"]:
            self.assertIn('name="%s"' % field, page)
        self.assertEqual(request("POST", "/setup", "flipPolicy=avoid&token=forged")[0], 403)
        status, _, data = request("POST", "/setup", "flipPolicy=avoid&token=" + token)
        self.assertIn("Saved.", data.decode())
        with open(os.path.join(ARGS.work, "settings.json")) as f:
            self.assertEqual(json.load(f)["flipPolicy"], "avoid")
        request("POST", "/setup", "flipPolicy=recommended&token=" + token)

    def test_other_host_names_are_refused(self):
        self.assertEqual(request("GET", "/api/v1/telescope/0/name", host="evil.example")[0], 403)
        self.assertEqual(request("GET", "/api/v1/telescope/0/name", host="localhost:1")[0], 200)


class B_Telescope(unittest.TestCase):
    """The mount, connected."""

    @classmethod
    def setUpClass(cls):
        put_ok("connected", Connected="true")
        put_ok("tracking", Tracking="true")

    def ha(self, hours):
        """The RA at an hour angle now."""
        return (value("siderealtime") - hours) % 24

    def slew(self, ra, dec):
        """Slews; Slewing must be true at once and stay true until the
        mount is there."""
        put_ok("slewtocoordinatesasync", RightAscension=ra, Declination=dec)
        self.assertTrue(value("slewing"), "Slewing right after the slew was accepted")
        await_true(lambda: not value("slewing"), "the slew's end")
        self.assertLess(arcseconds(value("rightascension"), value("declination"), ra, dec), 10)

    def test_a_connection_is_idempotent_and_says_what_it_can(self):
        put_ok("connected", Connected="true")
        self.assertTrue(value("connected"))
        self.assertFalse(value("connecting"))
        expected = {"interfaceversion": 4, "alignmentmode": 2, "equatorialsystem": 1,
                    "canslewasync": True, "cansync": True, "cansettracking": True,
                    "canslew": False, "canslewaltaz": False, "canslewaltazasync": False,
                    "canpark": False, "canunpark": False, "canfindhome": False,
                    "canpulseguide": False, "cansetpierside": False, "cansyncaltaz": False,
                    "trackingrates": [0], "trackingrate": 0, "supportedactions": []}
        for member, want in expected.items():
            self.assertEqual(value(member), want, member)
        self.assertEqual([value("canmoveaxis", Axis=a) for a in range(3)], [True, True, False])
        for verb, member, params in NOT_OFFERED:
            self.assertEqual(alpaca(verb, member, params)["ErrorNumber"], NOT_IMPLEMENTED, member)
        self.assertEqual(put("action", Action="x", Parameters="")["ErrorNumber"],
                         ACTION_NOT_IMPLEMENTED)
        self.assertTrue(value("utcdate").endswith("Z"))

    def test_the_site_is_kept_exactly_and_southern_latitudes_refused(self):
        put_ok("sitelongitude", SiteLongitude="12.345678901234567")
        self.assertEqual(value("sitelongitude"), 12.345678901234567)
        put_ok("sitelatitude", SiteLatitude="48.1")
        for bad in ["-10", "91"]:
            self.assertEqual(put("sitelatitude", SiteLatitude=bad)["ErrorNumber"], INVALID_VALUE)
        self.assertEqual(value("sitelatitude"), 48.1)
        difference = (value("siderealtime") - sidereal_hours(12.345678901234567) + 12) % 24 - 12
        self.assertLess(abs(difference) * 60, 1, "sidereal time within a minute")
        put_ok("sitelongitude", SiteLongitude="19.5")

    def test_slew_refusals_come_in_the_standard_order(self):
        put_ok("tracking", Tracking="false")
        try:
            reply = put("slewtocoordinatesasync", RightAscension=25, Declination=10)
            self.assertEqual(reply["ErrorNumber"], INVALID_VALUE)
            reply = put("slewtocoordinatesasync", RightAscension=3.25, Declination=10)
            self.assertEqual(reply["ErrorNumber"], INVALID_OPERATION)
            self.assertEqual(value("targetrightascension"), 3.25, "Target* copied first")
            self.assertFalse(value("slewing"))
        finally:
            put_ok("tracking", Tracking="true")

    def test_slews_end_on_the_side_of_pier_the_standard_names(self):
        self.slew(self.ha(3), 30)
        self.assertEqual(value("sideofpier"), 0, "hour angle +3: normal pointing state")
        sides = [value("destinationsideofpier", RightAscension=self.ha(h), Declination=30)
                 for h in (2, -2)]
        self.assertNotEqual(sides[0], sides[1], "hour angles +2 and -2")
        self.slew(self.ha(-3), 30)
        self.assertEqual(value("sideofpier"), 1, "hour angle -3: through the pole")
        put_ok("targetrightascension", TargetRightAscension=self.ha(2))
        put_ok("targetdeclination", TargetDeclination=20)
        put_ok("slewtotargetasync")
        await_true(lambda: not value("slewing"), "the slew to the target")
        self.assertEqual(value("sideofpier"), 0)

    def test_abort_stops_a_slew_at_once(self):
        put_ok("slewtocoordinatesasync", RightAscension=self.ha(-1), Declination=80)
        self.assertTrue(value("slewing"))
        put_ok("abortslew")
        self.assertFalse(value("slewing"))
        self.slew(self.ha(1), 20)  # the mount takes the next slew as usual

    def test_move_axis_takes_the_listed_rates_and_leaves_tracking_alone(self):
        for axis in (0, 1):
            rates = value("axisrates", Axis=axis)
            speeds = [r["Minimum"] for r in rates]
            self.assertTrue(all(r["Minimum"] == r["Maximum"] > 0 for r in rates), rates)
            self.assertEqual(len(set(speeds)), len(speeds), rates)
        rate = value("axisrates", Axis=0)[0]["Maximum"]
        put_ok("moveaxis", Axis=0, Rate=-rate)
        self.assertTrue(value("slewing"))
        self.assertTrue(value("tracking"))
        put_ok("moveaxis", Axis=0, Rate=0)
        self.assertFalse(value("slewing"))
        self.assertEqual(put("moveaxis", Axis=0, Rate=rate * 1.5)["ErrorNumber"], INVALID_VALUE)
        self.assertEqual(put("moveaxis", Axis=3, Rate=rate)["ErrorNumber"], INVALID_VALUE)
        put_ok("moveaxis", Axis=1, Rate=rate)
        put_ok("abortslew")
        self.assertFalse(value("slewing"))
        self.assertTrue(value("tracking"))

    def test_a_sync_reads_back_at_once(self):
        ra, dec = self.ha(1.5), 45.5
        put_ok("synctocoordinates", RightAscension=ra, Declination=dec)
        self.assertLess(arcseconds(value("rightascension"), value("declination"), ra, dec), 10)


def open_many(count, greeting):
    """`count` connections that each sent `greeting` and nothing more."""
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, count + 256)), hard))
    sockets = []
    for _ in range(count):
        s = socket.socket()
        s.setblocking(False)
        if s.connect_ex(("127.0.0.1", SERVER.port)) not in (0, errno.EINPROGRESS):
            s.close()
            continue
        sockets.append(s)
    for s in sockets:
        try:
            s.setblocking(True)
            s.settimeout(5)
            s.sendall(greeting)
        except OSError:
            pass  # closed by the server already: that is its right
    return sockets


class C_HostileClients(unittest.TestCase):
    """Slow, large and many: none stops another client."""

    def served_promptly(self):
        start = time.monotonic()
        self.assertIn(value_with_timeout("slewing"), (True, False))
        put_ok("abortslew")
        self.assertLess(time.monotonic() - start, 5)

    def test_a_ten_megabyte_body_is_refused(self):
        s = socket.create_connection(("127.0.0.1", SERVER.port), timeout=10)
        head = ("PUT /api/v1/telescope/0/tracking HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                "Content-Type: application/x-www-form-urlencoded\r\n"
                "Content-Length: %d\r\n\r\n" % (10 * 1024 * 1024)).encode()
        answer = b""
        try:
            s.sendall(head)
            for _ in range(160):  # 10 MB in 64 KB pieces, until the server closes
                s.sendall(b"A" * 65536)
        except OSError:
            pass
        try:
            answer = s.recv(200)
        except OSError:
            pass
        s.close()
        self.assertTrue(answer == b"" or answer.startswith(b"HTTP/1.1 413"), answer)
        self.served_promptly()

    def test_a_thousand_connections_and_slow_headers_stop_no_one(self):
        idle = open_many(700, b"")
        slow = open_many(300, b"GET /api/v1/telescope/0/slewing HTTP/1.1\r\nHost: 127.")
        try:
            self.served_promptly()
        finally:
            for s in idle + slow:
                s.close()
        self.served_promptly()


def value_with_timeout(member):
    reply = alpaca("GET", member, timeout=5)
    assert reply["ErrorNumber"] == 0, reply
    return reply["Value"]


def discovery_reply(wait):
    """Our server's answer to discovery, asked again every half second as
    clients do (UDP may lose a question); None after `wait` seconds."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    until = time.monotonic() + wait
    try:
        while time.monotonic() < until:
            s.settimeout(min(0.5, max(0.01, until - time.monotonic())))
            try:
                s.sendto(b"alpacadiscovery1", ("127.0.0.1", 32227))
                while True:
                    data, _ = s.recvfrom(200)
                    if json.loads(data).get("AlpacaPort") == SERVER.port:
                        return SERVER.port
            except (socket.timeout, ConnectionRefusedError):
                pass
        return None
    finally:
        s.close()


class D_Restart(unittest.TestCase):
    def test_discovery_answers_on_the_network_only_and_the_unique_id_stays(self):
        global SERVER
        self.assertIsNone(discovery_reply(0.5), "only this computer: no discovery")
        _, _, data = request("GET", "/management/v1/configureddevices")
        before = json.loads(data)["Value"][0]["UniqueID"]
        self.assertEqual(SERVER.stop(), 0, "zr8-alpaca ends by itself with status 0")
        SERVER = Server(os.path.join(ARGS.work, "settings.json"), listen="0.0.0.0")
        self.assertEqual(discovery_reply(DEADLINE), SERVER.port)
        _, _, data = request("GET", "/management/v1/configureddevices")
        self.assertEqual(json.loads(data)["Value"][0]["UniqueID"], before)


def main():
    global ARGS, SERVER, SIM
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--sim", help="zr8-sim to start on a pty (Linux)")
    parser.add_argument("--wine", help="Wine prefix to run the program in")
    parser.add_argument("--sims", help="scripts/wine-sims' state folder")
    ARGS, rest = parser.parse_known_args()
    os.makedirs(ARGS.work, exist_ok=True)
    settings = os.path.join(ARGS.work, "settings.json")
    for stale in [settings, settings + ".damaged"]:
        if os.path.exists(stale):
            os.remove(stale)
    if ARGS.sim:
        SIM = subprocess.Popen([ARGS.sim, "--link", serial_port(), "--ra-speed-factor", "30000",
                                "--dec-speed-factor", "30000"],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        line = SIM.stdout.readline()
        if "linked as" not in line:
            line += SIM.stdout.readline()
        if "linked as" not in line:
            print("zr8-sim did not start: " + line, file=sys.stderr)
            return 1
    try:
        SERVER = Server(settings)
        result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
        status = SERVER.stop()
        if status != 0:
            print("zr8-alpaca ended with %s:\n%s" % (status, "".join(SERVER.output)))
            return 1
        return 0 if result.wasSuccessful() else 1
    finally:
        if SERVER and SERVER.process.poll() is None:
            SERVER.process.kill()
        if SIM:
            SIM.terminate()
            SIM.wait()
            SIM.stdout.close()


if __name__ == "__main__":
    sys.exit(main())
