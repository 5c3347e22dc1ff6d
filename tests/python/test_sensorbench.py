"""The Python module on the virtual sensor board, checked against the command-line tool."""
import os
import pydoc
import re
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import numpy as np

import sensorbench
from sensorbench import Bench, DeviceError

CLI = os.environ.get("SB_CLI", "sensorbench-cli")
SOURCE_DIR = os.environ.get("SB_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
G_PER_COUNT = 0.004768372  # the acceleration buffers' scale on 31473
FS_AVG16 = 64000.0 / 16
INTERNAL_RATE = {31470: 88000.0, 31473: 64000.0}
CHANNELS = {31470: ["X acc", "ADC 0", "ADC 1"], 31473: ["X acc", "Y acc", "Z acc"]}
# The virtual board's strongest tones on the first two buffers.
TONES = {31470: (1210.0, 520.0), 31473: (1210.0, 790.0)}
OTHER = {31470: 31473, 31473: 31470}


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


def numpy_dominant_hz(samples, fs):
    """Frequency of the largest Hann-windowed bin above DC, by numpy alone."""
    x = np.asarray(samples, dtype=float)
    amps = np.abs(np.fft.rfft((x - x.mean()) * np.hanning(len(x))))
    return (1 + np.argmax(amps[1:])) * fs / len(x)


def sample_columns(lines):
    """The three sample columns of a comma-separated data file, parsed independently of the module."""
    rows = [line.split(",") for line in lines[15:15 + 1024]]
    return np.array([[float(r[c]) for r in rows] for c in (1, 2, 3)])


class TempDirCase(unittest.TestCase):
    def setUp(self):
        os.environ.pop("SENSORBENCH_SIM_FAULT", None)
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)


class ModuleTest(TempDirCase):
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
            with self.assertRaisesRegex(ValueError, "'manual', 'extended-x'.*not 'sideways'"):
                b470.capture(mode="sideways")

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
        np.testing.assert_allclose(c.peaks_g, np.abs(c.g).max(axis=1), rtol=1e-6)
        np.testing.assert_array_equal(c.times, np.arange(1024) / FS_AVG16)
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
            c = b.capture(avg=16)
        self.assertEqual(c.sample_rate, 88000.0 / 16)
        stats = c.stats()
        self.assertEqual(list(stats), ["X acc", "ADC 0", "ADC 1"])
        self.assertEqual(c.channels, ["X acc", "ADC 0", "ADC 1"])
        self.assertGreater(stats["X acc"]["velocity_rms"], 0.0)
        self.assertTrue(np.isnan(stats["ADC 0"]["velocity_rms"]))  # no acceleration
        self.assertAlmostEqual(stats["ADC 0"]["dominant_hz"], 520.0, delta=1.0)
        # The peak registers through the 31470's own scale, not the 31473's.
        np.testing.assert_allclose(c.peaks_g, np.abs(c.g).max(axis=1), rtol=1e-6)

    def test_load_reads_back_what_save_wrote(self):
        with Bench(sim=1) as b:
            c = b.capture(avg=8)
        for fmt in ("lsb", "g"):
            with self.subTest(format=fmt):
                c.save(self.path(f"c_{fmt}.csv"), format=fmt)
                back = sensorbench.load(self.path(f"c_{fmt}.csv"), product=31473)
                # Counts come back with g from the product's scale: the same figures either way.
                np.testing.assert_array_equal(back.g, c.g)
                np.testing.assert_equal(back.stats(), c.stats())
                if fmt == "lsb":
                    np.testing.assert_array_equal(back.lsb, c.lsb)
                else:
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
        back = sensorbench.load(self.path("comma.csv"), 31473)
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
                self.assertRaises(ValueError, sensorbench.load, self.path("bad.csv"), 31473)
        self.assertRaises(FileNotFoundError, sensorbench.load, self.path("missing.csv"), 31473)
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
        # The capture thread notes when the call began and ended; this thread notes the time at
        # every step of its own loop. With the GIL held during the capture no step would fall
        # inside the call, only before and after it.
        span = []
        result = []

        def work():
            with Bench(sim=1) as b:
                span.append(time.monotonic())
                result.append(b.capture(avg=64))
                span.append(time.monotonic())

        t = threading.Thread(target=work)
        t.start()
        steps = []
        while t.is_alive():
            steps.append(time.monotonic())
        t.join()
        self.assertEqual(len(result), 1)
        begin, end = span
        self.assertGreater(end - begin, 1.0)  # a 1.1 s capture and its read-out
        during = [x for x in steps if begin + 0.2 < x < end - 0.2]
        self.assertGreater(len(during), 1000)

    def test_two_benches_capture_side_by_side_each_from_its_own_sensor(self):
        # Two cards, two products: each Bench's capture carries its own sensor's tones. The long
        # capture starts first; the short one, begun while the long one waits, ends before it.
        sensorbench.install_virtual_cards(2)
        with Bench(card=0, product=31470) as slow, Bench(card=1, product=31473) as fast:
            slow.write("SCRATCH_B", 0x1234)
            fast.write("SCRATCH_B", 0x0042)
            ended = {}
            captures = {}

            def take(name, bench, avg):
                captures[name] = bench.capture(avg=avg)
                ended[name] = time.monotonic()

            threads = [threading.Thread(target=take, args=("slow", slow, 64))]
            threads[0].start()
            time.sleep(0.3)
            threads.append(threading.Thread(target=take, args=("fast", fast, 1)))
            threads[1].start()
            for t in threads:
                t.join()
            self.assertLess(ended["fast"], ended["slow"])
            self.assertEqual((slow.read("SCRATCH_B").raw, fast.read("SCRATCH_B").raw), (0x1234, 0x0042))
        for name, product, avg in (("slow", 31470, 64), ("fast", 31473, 1)):
            c = captures[name]
            self.assertEqual((c.product, c.channels, c.sample_rate), (product, CHANNELS[product],
                                                                      INTERNAL_RATE[product] / avg))
            second = c.channels[1]
            self.assertAlmostEqual(numpy_dominant_hz(c.g[1], c.sample_rate), TONES[product][1],
                                   delta=c.sample_rate / 1024, msg=f"{name}: {second}")

    def test_example_sweep_runs(self):
        script = os.path.join(SOURCE_DIR, "examples", "sweep.py")
        r = subprocess.run([sys.executable, script], capture_output=True, text=True, timeout=300)
        self.assertEqual(r.returncode, 0, r.stderr)
        rows = [l.split() for l in r.stdout.splitlines() if l and l[0].isdigit()]
        self.assertEqual([int(row[0]) for row in rows], [1, 4, 16, 64])
        for row in rows:
            self.assertEqual(float(row[1]), 64000.0 / int(row[0]))
            velocities = row[2:5]
            # 1 and 4: 16 and 64 ms records, too short for 10 Hz; 64: a 500 Hz Nyquist frequency.
            if int(row[0]) == 16:
                self.assertEqual(len(row), 5)
                self.assertTrue(all(float(v) > 0.0 for v in velocities), row)
            else:
                self.assertEqual(velocities, ["-", "-", "-"], row)
                self.assertGreater(len(row), 5, "the reason follows")


class CaptureContextTest(TempDirCase):
    """A data file does not say which sensor or mode wrote it: load() is told, and the capture's
    own product decides rates, names and scales, whatever the module was set to last."""

    def test_saved_capture_loads_back_on_its_own_product_after_the_other_was_used(self):
        for product in (31470, 31473):
            other = OTHER[product]
            with self.subTest(product=product):
                with Bench(sim=1, product=product) as b:
                    c = b.capture(avg=16)
                at_capture = (c.g.copy(), c.sample_rate, c.channels, c.stats())
                with Bench(sim=1, product=other) as b:  # the module is now set to the other sensor
                    b.capture(avg=1)
                rate = INTERNAL_RATE[product] / 16
                self.assertEqual(at_capture[1], rate)
                self.assertEqual(at_capture[2], CHANNELS[product])
                np.testing.assert_equal(c.stats(), at_capture[3])
                for fmt in ("lsb", "g"):
                    with self.subTest(format=fmt):
                        path = self.path(f"{product}_{fmt}.csv")
                        c.save(path, format=fmt)
                        # Positional and keyword product alike.
                        back = sensorbench.load(path, product) if fmt == "lsb" else sensorbench.load(path, product=product)
                        self.assertEqual((back.product, back.mode, back.avg), (product, "manual", 16))
                        self.assertEqual(back.sample_rate, rate)
                        self.assertEqual(back.channels, CHANNELS[product])
                        np.testing.assert_array_equal(back.g, at_capture[0])
                        np.testing.assert_array_equal(back.times, np.arange(1024) / rate)
                        stats = back.stats()
                        self.assertEqual(list(stats), CHANNELS[product])
                        np.testing.assert_equal(stats, at_capture[3])
                        self.assertGreater(stats["X acc"]["velocity_rms"], 0.0)
                        for ch, tone in enumerate(TONES[product]):
                            name = CHANNELS[product][ch]
                            self.assertAlmostEqual(numpy_dominant_hz(back.g[ch], back.sample_rate), tone,
                                                   delta=rate / 1024, msg=name)
                            self.assertAlmostEqual(stats[name]["dominant_hz"], tone, delta=1.0, msg=name)
                        self.assertEqual(back.peaks, c.peaks)
                        np.testing.assert_allclose(back.peaks_g, np.abs(at_capture[0]).max(axis=1), rtol=1e-6)
                        # Told the wrong sensor, every frequency moves by the ratio of the rates.
                        wrong = sensorbench.load(path, other)
                        self.assertEqual(wrong.sample_rate, INTERNAL_RATE[other] / 16)
                        self.assertEqual(wrong.channels, CHANNELS[other])
                        self.assertAlmostEqual(wrong.stats()["X acc"]["dominant_hz"],
                                               1210.0 * INTERNAL_RATE[other] / INTERNAL_RATE[product], delta=1.0)

    def test_load_needs_a_product_and_a_mode_it_has(self):
        with Bench(sim=1) as b:
            c = b.capture(avg=1)
        path = self.path("c.csv")
        c.save(path)
        with self.assertRaises(TypeError) as caught:
            sensorbench.load(path)
        self.assertIn("31470", str(caught.exception))
        self.assertIn("31473", str(caught.exception))
        self.assertRaises(TypeError, sensorbench.load, path, mode="manual")
        cases = [dict(product=31471), dict(product=31470, mode="extended-x"), dict(product=31473, mode="automatic"),
                 dict(product=31473, mode="")]
        for kwargs in cases:
            with self.subTest(**kwargs):
                self.assertRaises(ValueError, sensorbench.load, path, **kwargs)

    def test_load_lays_out_an_extended_capture(self):
        with Bench(sim=1) as b:
            c = b.capture(mode="extended-y", avg=4)
        c.save(self.path("ext.csv"))
        back = sensorbench.load(self.path("ext.csv"), 31473, mode="extended-y")
        self.assertEqual((back.mode, back.channels), ("extended-y", ["Y acc"]))
        np.testing.assert_array_equal(back.lsb, c.lsb)
        self.assertEqual(back.g.shape, (3072,))
        np.testing.assert_array_equal(back.times, np.arange(3072) / 16000.0)
        self.assertAlmostEqual(back.stats()["Y acc"]["dominant_hz"], 790.0, delta=1.0)
        self.assertAlmostEqual(numpy_dominant_hz(back.g, back.sample_rate), 790.0, delta=16000.0 / 3072)
        self.assertEqual(back.spectrum()[1].shape, (1537,))
        # The same file as three buffers of a manual capture.
        manual = sensorbench.load(self.path("ext.csv"), 31473)
        self.assertEqual((manual.lsb.shape, manual.channels), ((3, 1024), CHANNELS[31473]))


class UnknownFiguresTest(TempDirCase):
    def test_velocity_is_nan_with_a_reason_where_the_record_cannot_hold_the_band(self):
        with Bench(sim=1) as b:
            short = b.capture(avg=1)  # 1024 samples at 64 kHz: 16 ms, not one period of 10 Hz
            held = b.capture(avg=16)
        for name in CHANNELS[31473]:
            with self.subTest(channel=name):
                s = short.stats()[name]
                self.assertTrue(np.isnan(s["velocity_rms"]))
                self.assertIsInstance(s["velocity_note"], str)
                self.assertNotEqual(s["velocity_note"].strip(), "")
                self.assertGreater(held.stats()[name]["velocity_rms"], 0.0)
                self.assertIsInstance(held.stats()[name]["velocity_note"], str)
        # A file in counts gives the same unknown velocity and reason.
        short.save(self.path("short.csv"), format="lsb")
        back = sensorbench.load(self.path("short.csv"), 31473)
        np.testing.assert_equal(back.stats(), short.stats())

    def test_flat_channel_has_no_shape_or_dominant_tone(self):
        with Bench(sim=1) as b:
            c = b.capture(avg=16)
        c.save(self.path("c.csv"), format="lsb")
        lines = read_lines(self.path("c.csv"))
        for n in range(15, 15 + 1024):
            fields = lines[n].split(",")
            lines[n] = ",".join(fields[:3] + ["200"])  # Z held at 200 counts
        with open(self.path("flat.csv"), "w", newline="") as f:
            f.write("\r\n".join(lines))
        stats = sensorbench.load(self.path("flat.csv"), 31473).stats()
        z = stats["Z acc"]
        self.assertAlmostEqual(z["mean"], 200 * G_PER_COUNT, places=6)
        self.assertLess(z["ac_rms"], 1e-12)
        self.assertEqual(z["peak_to_peak"], 0.0)
        for key in ("crest_factor", "kurtosis", "dominant_hz", "dominant_amplitude"):
            with self.subTest(key=key):
                self.assertTrue(np.isnan(z[key]), z[key])
        self.assertAlmostEqual(stats["X acc"]["dominant_hz"], 1210.0, delta=1.0)
        self.assertAlmostEqual(stats["X acc"]["crest_factor"], c.stats()["X acc"]["crest_factor"], places=12)


class ApiTest(TempDirCase):
    def test_default_averaging_is_the_programs(self):
        out = run_cli("capture --out " + self.dir.name + " --name cli")
        cli_avg = int(read_lines(out.split("\t")[0])[3].split(",")[1])
        with Bench(sim=1) as b:
            c = b.capture()
        self.assertEqual(c.avg, cli_avg)
        self.assertEqual(c.sample_rate, 64000.0 / cli_avg)

    def test_version_is_the_cli_version(self):
        r = subprocess.run([CLI, "--version"], capture_output=True, text=True, timeout=60)
        self.assertEqual(r.returncode, 0)
        self.assertRegex(sensorbench.__version__, r"^\d+\.\d+")
        self.assertEqual(r.stdout.split()[-1], sensorbench.__version__)

    def test_public_api_documents_itself_with_python_names_and_units(self):
        text = pydoc.render_doc(sensorbench, renderer=pydoc.plaintext)
        self.assertNotIn("anonymous", text)
        self.assertNotIn("::", text)
        self.assertIn("-> sensorbench.Capture", sensorbench.load.__doc__)
        self.assertIn("-> sensorbench.Capture", Bench.capture.__doc__)
        for cls in (Bench, sensorbench.Capture, sensorbench.Reading):
            self.assertEqual(cls.__module__, "sensorbench")
            for name, member in vars(cls).items():
                if name.startswith("_") and name not in ("__init__", "__enter__", "__exit__"):
                    continue
                with self.subTest(member=f"{cls.__name__}.{name}"):
                    doc = getattr(member, "__doc__", None) or ""
                    self.assertNotEqual(doc.strip(), "")
                    self.assertNotIn("anonymous", doc)
        units = {"sample_rate": "Hz", "supply": " V", "temperature": "degrees C", "peaks": "counts",
                 "peaks_g": " g", "g": " g", "times": " s ", "stats": "mm/s", "spectrum": "Hz"}
        for name, unit in units.items():
            with self.subTest(unit=name):
                self.assertIn(unit, getattr(sensorbench.Capture, name).__doc__)


def load_tests(loader, standard_tests, pattern):
    """SB_TEST_SHARD=i/n runs every n-th test from the i-th, so CTest can run shards side by side."""
    shard = os.environ.get("SB_TEST_SHARD")
    if not shard:
        return standard_tests
    index, count = (int(x) for x in shard.split("/"))

    def flatten(suite):
        for item in suite:
            yield from flatten(item) if isinstance(item, unittest.TestSuite) else [item]

    tests = sorted(flatten(standard_tests), key=lambda t: t.id())
    return unittest.TestSuite(t for k, t in enumerate(tests) if k % count == index)


if __name__ == "__main__":
    unittest.main()
