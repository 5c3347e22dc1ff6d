"""The Python module on the virtual sensor board, checked against the command-line tool."""
import os
import re
import subprocess
import sys
import tempfile
import threading
import unittest

import numpy as np

import sensorbench
from sensorbench import Bench, DeviceError

CLI = os.environ.get("SB_CLI", "sensorbench-cli")
SOURCE_DIR = os.environ.get("SB_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
G_PER_COUNT = 0.004768372  # the acceleration buffers' scale on 31473
FS_AVG16 = 64000.0 / 16


def run_cli(*args, extra_env=None):
    env = dict(os.environ)
    env.pop("SENSORBENCH_SIM_FAULT", None)
    env.update(extra_env or {})
    r = subprocess.run([CLI, "--sim", *args], capture_output=True, text=True, env=env, timeout=300)
    if r.returncode != 0:
        raise AssertionError(f"sensorbench-cli {args}: exit {r.returncode}: {r.stderr}")
    return r.stdout


def read_lines(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-8").split("\r\n")


def sample_columns(lines):
    """The three sample columns of a comma-separated data file, parsed independently of the module."""
    rows = [line.split(",") for line in lines[15:15 + 1024]]
    return np.array([[float(r[c]) for r in rows] for c in (1, 2, 3)])


class ModuleTest(unittest.TestCase):
    def setUp(self):
        os.environ.pop("SENSORBENCH_SIM_FAULT", None)
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def test_register_write_read_round_trip(self):
        rows = [("X_NULL", -5, -5, "FFFB", -5 * G_PER_COUNT),
                (" y_null ", 26, 26, "001A", 26 * G_PER_COUNT),
                ("SCRATCH_A", 0xBEEF, 0xBEEF, "BEEF", 0xBEEF),
                (33, 0x1234, 0x1234, "1234", 0x1234)]
        with Bench(sim=1) as b:
            for name, value, raw, hexText, scaled in rows:
                with self.subTest(register=name):
                    b.write(name, value)
                    r = b.read(name)
                    self.assertEqual((r.raw, r.hex), (raw, hexText))
                    self.assertAlmostEqual(r.value, scaled, places=4)
            self.assertEqual(b.read(33).register, "SCRATCH_A")
            self.assertRegex(b.registers(), r"X_NULL.*FFFB")

    def test_bad_arguments_raise_python_errors(self):
        with Bench(sim=1) as b:
            cases = [(KeyError, lambda: b.read("NO_SUCH_REG")),
                     (KeyError, lambda: b.write("NO_SUCH_REG", 1)),
                     (KeyError, lambda: b.read(999)),
                     (ValueError, lambda: b.write("X_NULL", 65536)),
                     (ValueError, lambda: b.write("X_NULL", -32769)),
                     (ValueError, lambda: b.write("X_NULL", "5")),
                     (ValueError, lambda: b.capture(mode="automatic")),
                     (ValueError, lambda: b.capture(avg=3)),
                     (ValueError, lambda: b.capture(avg=2048)),
                     (RuntimeError, lambda: Bench(sim=1))]
            for i, (error, call) in enumerate(cases):
                with self.subTest(case=i):
                    self.assertRaises(error, call)
        self.assertTrue(b.closed)
        self.assertRaises(ValueError, b.read, "X_NULL")
        self.assertRaises(ValueError, Bench, sim=1, product=31471)
        with Bench(sim=1, product=31470) as b470:
            self.assertRaises(ValueError, b470.capture, mode="extended-x")

    def test_capture_layout_and_file_match_the_cli(self):
        # A repeatable virtual board samples every manual capture from the same moment, so this
        # process and the CLI capture the same samples.
        repeatable = {"SENSORBENCH_SIM_REPEATABLE": "1"}
        out = run_cli("capture --avg 16 --out " + self.dir.name + " --name cli", extra_env=repeatable)
        cli_file = out.split("\t")[0]
        os.environ.update(repeatable)
        try:
            with Bench(sim=1) as b:
                c = b.capture(avg=16)
        finally:
            os.environ.pop("SENSORBENCH_SIM_REPEATABLE")
        self.assertEqual(c.lsb.dtype, np.int16)
        self.assertEqual(c.lsb.shape, (3, 1024))
        self.assertEqual(c.g.shape, (3, 1024))
        self.assertTrue(c.complete)
        self.assertEqual((c.avg, c.mode), (16, "manual"))
        self.assertEqual(c.sample_rate, FS_AVG16)
        np.testing.assert_allclose(c.g, c.lsb * G_PER_COUNT, rtol=1e-6)
        self.assertEqual(c.peaks, tuple(np.abs(c.lsb).max(axis=1)))  # counts, as the sensor keeps them
        self.assertAlmostEqual(c.supply, 3.3, delta=0.05)  # the virtual board's supply and temperature
        self.assertAlmostEqual(c.temperature, 25.0, delta=1.0)
        c.save(self.path("py.csv"))

        cli, py = read_lines(cli_file), read_lines(self.path("py.csv"))
        self.assertEqual(len(cli), len(py))
        self.assertEqual(py[0], "File Name,py.csv")
        for n, (a, b) in enumerate(zip(cli, py)):
            if n in (3, 9, 10, 11, 12, 13, 14):  # averaging, status and column titles: whole lines
                self.assertEqual(a, b, f"line {n + 1}")
            elif n > 0:  # labels and sample numbers
                self.assertEqual(a.split(",")[0], b.split(",")[0], f"line {n + 1}")
        np.testing.assert_array_equal(sample_columns(py), c.lsb)
        np.testing.assert_array_equal(sample_columns(cli), c.lsb)  # sample for sample
        for n in (4, 5, 6, 7, 8):  # supply, temperature and peaks too
            self.assertEqual(cli[n], py[n], f"line {n + 1}")

    def test_dominant_frequencies_match_the_cli_spectrum(self):
        out = run_cli("capture --avg 16 --spectrum --out " + self.dir.name)
        cli_peaks = {m.group(1): float(m.group(2))
                     for m in re.finditer(r"^\s+(\w+ acc): ([\d.]+) Hz", out, re.MULTILINE)}
        self.assertEqual(len(cli_peaks), 3)
        with Bench(sim=1) as b:
            c = b.capture(avg=16)
        freqs, amps = c.spectrum()
        self.assertEqual(amps.shape, (3, 513))
        self.assertAlmostEqual(freqs[1], FS_AVG16 / 1024)
        stats = c.stats()
        self.assertEqual(list(stats), ["X acc", "Y acc", "Z acc"])
        for ch, name in enumerate(stats):
            with self.subTest(channel=name):
                self.assertAlmostEqual(stats[name]["dominant_hz"], cli_peaks[name], delta=1.0)
                self.assertAlmostEqual(freqs[1 + np.argmax(amps[ch][1:])], cli_peaks[name], delta=freqs[1])
        self.assertAlmostEqual(stats["Z acc"]["mean"], 1.0, delta=0.02)
        # The 1.5 g tone on X at 1210 Hz, as averaging 16 samples at 64 kHz passes it.
        x = np.pi * 1210 / 64000
        expected = 1.5 * np.sin(16 * x) / (16 * np.sin(x))
        for window in ("flat-top", "hann"):
            self.assertAlmostEqual(c.spectrum(window)[1][0].max(), expected, delta=0.03 if window == "flat-top" else 0.1)
        self.assertRaises(ValueError, c.spectrum, "kaiser")

    def test_extended_mode_is_one_axis_of_3072_samples(self):
        with Bench(sim=1) as b:
            c = b.capture(mode="extended-y", avg=4)
        self.assertEqual(c.lsb.shape, (3072,))
        self.assertEqual(c.mode, "extended-y")
        freqs, amps = c.spectrum()
        self.assertEqual(amps.shape, (1537,))
        stats = c.stats()
        self.assertEqual(list(stats), ["Y acc"])
        self.assertAlmostEqual(stats["Y acc"]["dominant_hz"], 790.0, delta=1.0)
        self.assertAlmostEqual(stats["Y acc"]["mean"], -0.04, delta=0.02)

    def test_single_axis_product_has_two_auxiliary_inputs(self):
        with Bench(sim=1, product=31470) as b:
            c = b.capture(avg=4)
        self.assertEqual(c.sample_rate, 88000.0 / 4)
        stats = c.stats()
        self.assertEqual(list(stats), ["X acc", "ADC 0", "ADC 1"])
        self.assertFalse(np.isnan(stats["X acc"]["velocity_rms"]))
        self.assertTrue(np.isnan(stats["ADC 0"]["velocity_rms"]))
        self.assertAlmostEqual(stats["ADC 0"]["dominant_hz"], 520.0, delta=1.0)

    def test_load_reads_back_what_save_wrote(self):
        with Bench(sim=1) as b:
            c = b.capture(avg=8)
        for fmt in ("lsb", "g"):
            with self.subTest(format=fmt):
                c.save(self.path(f"c_{fmt}.csv"), format=fmt)
                back = sensorbench.load(self.path(f"c_{fmt}.csv"))
                if fmt == "lsb":
                    np.testing.assert_array_equal(back.lsb, c.lsb)
                    self.assertIsNone(back.g)
                else:
                    np.testing.assert_allclose(back.g, c.g, rtol=1e-13)
                    self.assertIsNone(back.lsb)
                    self.assertRaises(ValueError, back.save, self.path("x.csv"), format="lsb")
                self.assertEqual((back.avg, back.sample_rate), (8, c.sample_rate))
                self.assertAlmostEqual(back.supply, c.supply, places=12)
                self.assertAlmostEqual(back.temperature, c.temperature, places=12)
                np.testing.assert_allclose(back.peaks, c.peaks, rtol=1e-13)
                self.assertLessEqual(abs((back.time - c.time).total_seconds()), 60)
                back.save(self.path(f"again_{fmt}.csv"), format=fmt)
                self.assertEqual(read_lines(self.path(f"again_{fmt}.csv"))[3:],
                                 read_lines(self.path(f"c_{fmt}.csv"))[3:])

    def test_load_reads_tab_separated_decimal_comma_files(self):
        with Bench(sim=1) as b:
            c = b.capture(avg=1)
        c.save(self.path("dot.csv"), format="g")
        lines = read_lines(self.path("dot.csv"))
        comma = [lines[0]] + [l.replace(",", "\t").replace(".", ",") for l in lines[1:]]
        with open(self.path("comma.csv"), "wb") as f:
            f.write("\r\n".join(comma).encode())
        back = sensorbench.load(self.path("comma.csv"))
        np.testing.assert_allclose(back.g, c.g, rtol=1e-13)
        self.assertAlmostEqual(back.supply, c.supply, places=12)

    def test_load_and_save_failures(self):
        with Bench(sim=1) as b:
            c = b.capture(avg=1)
        c.save(self.path("good.csv"))
        lines = read_lines(self.path("good.csv"))
        broken = {"truncated": lines[:500],
                  "bad number": lines[:20] + ["5,1,x,3"] + lines[21:],
                  "bad averaging": lines[:3] + ["AVG_Cnt,3"] + lines[4:],
                  "not a data file": ["hello"] * 1100}
        for name, content in broken.items():
            with self.subTest(case=name):
                with open(self.path("bad.csv"), "w", newline="") as f:
                    f.write("\r\n".join(content))
                self.assertRaises(ValueError, sensorbench.load, self.path("bad.csv"))
        self.assertRaises(FileNotFoundError, sensorbench.load, self.path("missing.csv"))
        self.assertRaises(OSError, c.save, self.path("no/such/dir/x.csv"))
        self.assertRaises(ValueError, c.save, self.path("x.csv"), format="volts")

    def test_pulled_card_raises_device_error_and_the_next_bench_works(self):
        os.environ["SENSORBENCH_SIM_FAULT"] = "unplug:60"
        with self.assertRaises(DeviceError) as caught:
            with Bench(sim=1) as b:
                b.capture(avg=1)
        # The program's own message, as the command-line tool gives it for the same fault.
        cli = subprocess.run([CLI, "--sim", "capture --avg 1 --out " + self.dir.name], capture_output=True,
                             text=True, env=dict(os.environ), timeout=300)
        self.assertEqual(cli.returncode, 1)
        self.assertEqual(cli.stderr.strip(), "sensorbench-cli: " + str(caught.exception))
        os.environ.pop("SENSORBENCH_SIM_FAULT")
        with Bench(sim=1) as b:
            b.write("SCRATCH_B", 7)
            self.assertEqual(b.read("SCRATCH_B").raw, 7)

    def test_no_card_and_empty_slot(self):
        cases = [(dict(sim=0), None), (dict(sim=1, card=2), "no card in slot 2")]
        for kwargs, message in cases:
            with self.subTest(**kwargs):
                with self.assertRaises(DeviceError) as caught:
                    Bench(**kwargs)
                if message:
                    self.assertEqual(str(caught.exception), message)
        self.assertEqual([c["slot"] for c in sensorbench.cards(sim=2)], [0, 1])
        with Bench(sim=2, card=1) as b:
            self.assertEqual(len(b.status()), 15)

    def test_status_after_a_capture_reports_data_ready(self):
        with Bench(sim=1) as b:
            b.capture(avg=1)
            status = b.status()
        self.assertEqual(len(status), 15)
        self.assertEqual(status["Data Ready"], "SET")
        self.assertEqual(status["Supply < 3.150 V"], "OK")

    def test_capture_lets_other_threads_run(self):
        started = threading.Event()
        result = []

        def work():
            with Bench(sim=1) as b:
                started.set()
                result.append(b.capture(avg=16))

        t = threading.Thread(target=work)
        t.start()
        started.wait()
        spins = 0
        while t.is_alive():
            spins += 1
        t.join()
        self.assertEqual(len(result), 1)
        self.assertGreater(spins, 1000)

    def test_example_sweep_runs(self):
        script = os.path.join(SOURCE_DIR, "examples", "sweep.py")
        r = subprocess.run([sys.executable, script], capture_output=True, text=True, timeout=300)
        self.assertEqual(r.returncode, 0, r.stderr)
        rows = [l.split() for l in r.stdout.splitlines() if l and l[0].isdigit()]
        self.assertEqual([int(row[0]) for row in rows], [1, 4, 16, 64])
        for row in rows:
            self.assertEqual(float(row[1]), 64000.0 / int(row[0]))
            self.assertEqual(len(row), 5)
            self.assertTrue(all(float(v) > 0.0 for v in row[2:]), row)


if __name__ == "__main__":
    unittest.main()
