"""The fake outside programs, run as real processes in a temporary working directory."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

FAKES = os.environ.get("TARNWICK_FAKES_DIR")
NAMES = ("tnsnip.exe", "sandglass.exe", "wakebell.exe", "tarnwick-opener")

BID_LINES = [b"220000000101", b"25.5", b"USD", b"12/12/26 10:00:00", b"12/12/26 09:59:40",
             b"tarnbuyer", b"secret", b"Practice \xa3 auction", b"1", b"0.000115740740740741",
             b"IND"]


def crlf(lines):
    return b"".join(line + b"\r\n" for line in lines)


@unittest.skipUnless(FAKES, "TARNWICK_FAKES_DIR names the staged fakes")
class FakePrograms(unittest.TestCase):
    def setUp(self):
        self.workdir = tempfile.TemporaryDirectory()
        self.dir = os.path.realpath(self.workdir.name)
        for name in NAMES:
            shutil.copy2(os.path.join(FAKES, name), self.dir)
        self.env = dict(os.environ, TARNWICK_WINDIR=self.dir)
        self.env.pop("TARNWICK_OPENER_LOG", None)

    def tearDown(self):
        self.workdir.cleanup()

    def write(self, name, data):
        with open(os.path.join(self.dir, name), "wb") as stream:
            stream.write(data)

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as stream:
            return stream.read()

    def start(self, name, *arguments):
        """Start a fake by its bare name in the working directory, as the shell does."""
        subprocess.run([os.path.join(".", name), *arguments], cwd=self.dir, env=self.env,
                       check=True, timeout=30)

    def log_lines(self, name):
        return [line.split("\t") for line in self.read(name).decode().splitlines()]

    def test_sniper_keeps_a_byte_copy_of_each_instruction_file_it_was_started_on(self):
        first = crlf(BID_LINES)
        second = crlf([b"220000000102"] + BID_LINES[1:])
        self.write("BID.TDL", first)
        self.write("cancGroup A.TDL", b"220000000101\r\n220000000102\r\n")
        before = int(time.time() * 1000)
        self.start("tnsnip.exe")
        self.write("BID.TDL", second)
        os.remove(os.path.join(self.dir, "cancGroup A.TDL"))
        self.start("tnsnip.exe")
        after = int(time.time() * 1000)

        self.assertEqual(self.read("tnsnip.1.BID.TDL"), first)
        self.assertEqual(self.read("tnsnip.2.BID.TDL"), second)
        self.assertEqual(self.read("tnsnip.1.cancGroup A.TDL"), b"220000000101\r\n220000000102\r\n")
        self.assertFalse(os.path.exists(os.path.join(self.dir, "tnsnip.2.cancGroup A.TDL")))
        starts = self.log_lines("tnsnip.log")
        self.assertEqual([row[0] for row in starts], ["1", "2"])
        for row in starts:
            self.assertTrue(before <= int(row[1]) <= after)
            self.assertEqual(row[2:], ["0", self.dir])

    def test_sniper_started_without_instruction_file_only_records_the_start(self):
        self.start("tnsnip.exe", "unexpected")
        self.assertEqual(self.log_lines("tnsnip.log")[0][2:], ["1", self.dir])
        self.assertEqual(sorted(os.listdir(self.dir)), sorted(NAMES + ("tnsnip.log",)))

    def test_egg_timer_and_alarm_clock_record_each_start_in_their_own_log(self):
        self.start("sandglass.exe")
        self.start("sandglass.exe")
        self.start("wakebell.exe")
        self.assertEqual([row[1:] for row in self.log_lines("sandglass.log")],
                         [["0", self.dir], ["0", self.dir]])
        self.assertEqual([row[1:] for row in self.log_lines("wakebell.log")], [["0", self.dir]])

    def test_opener_records_each_target_it_was_asked_to_open(self):
        self.start("tarnwick-opener", "tarnwick.hlp")
        self.start("tarnwick-opener", "http://127.0.0.1:8080/forums?a=1&b=2")
        rows = self.log_lines("opener.log")
        self.assertEqual([row[1:] for row in rows],
                         [[self.dir, "tarnwick.hlp"],
                          [self.dir, "http://127.0.0.1:8080/forums?a=1&b=2"]])
        self.env["TARNWICK_OPENER_LOG"] = os.path.join(self.dir, "elsewhere.log")
        self.start("tarnwick-opener", "tarnwick.hlp")
        self.assertEqual(self.log_lines("elsewhere.log")[0][2], "tarnwick.hlp")


if __name__ == "__main__":
    unittest.main()
