#!/usr/bin/env python3
"""Writes the expected data files that tst_DataFile compares byte for byte.

Independent of the program's own formatting: single-precision values are made with
struct, numbers rounded to 15 significant digits in decimal, halves away from zero. The capture record pattern matches FillPattern() in
tst_DataFile.cpp. Run from this folder: python3 make_golden.py
"""
import struct
from decimal import Decimal, ROUND_HALF_UP


def f32(x):
    return struct.unpack('f', struct.pack('f', x))[0]


def num(v, comma):
    # The values here never need an exponent.
    text = '0'
    if v != 0:
        d = Decimal(v)
        q = d.quantize(Decimal(1).scaleb(d.adjusted() - 14), rounding=ROUND_HALF_UP)
        text = format(q, 'f')
        if '.' in text:
            text = text.rstrip('0').rstrip('.')
    return text.replace('.', ',') if comma else text


def pattern():
    s1, s2, s3 = f32(0.0955), f32(0.00122), f32(0.5)
    rows = []
    for i in range(1024):
        r1 = i - 512
        r2 = (i * 37) % 2048 - 1024
        r3 = -((i * 11) % 97)
        rows.append((r1, r2, r3, f32(r1 * s1), f32(r2 * s2), f32(r3 * s3)))
    return rows


def data_file(comma, scaled, base, ext, avg, date, time):
    S = '\t' if comma else ','
    n = lambda v: num(v, comma)
    lines = [
        'File Name,' + base + ext,
        'Date' + S + date,
        'Time' + S + time,
        'AVG_Cnt' + S + str(avg),
        'Capt_Supply' + S + n(f32(3.3042)),
        "Capt_Temp 'C" + S + n(f32(23.4567)),
        'Capt_Xpk' + S + n(-35),
        'Capt_ADC0pk' + S + n(1021),
        'Capt_ADC1pk' + S + n(0),
        ' ',
        'Staus  Register',
        S.join(['Alm3e', 'Alm2e', 'Alm1e', 'Alm4', 'Alm3', 'Alm2', 'Alm1', 'DR',
                'FtF', 'STD', 'CPV', 'SPI', 'FuF', 'VsH', 'VsL']),
        S * 14,
        ' ',
        'Sample #' + S + 'X Acceleration' + S + 'Aux_ADC_0' + S + 'Aux_ADC_1' + S,
    ]
    for i, (r1, r2, r3, v1, v2, v3) in enumerate(pattern()):
        cols = (v1, v2, v3) if scaled else (r1, r2, r3)
        lines.append(S.join([str(i)] + [n(c) for c in cols]))
    return ''.join(line + '\r\n' for line in lines).encode('utf-8')


FILES = {
    # name: (decimal comma, scaled, base, ext, AVG_Cnt, date, time) for 2026-03-07 09:05:04
    'c_lsb.csv': (False, False, 'Datalog', '.csv', 1, '7 Mar 2026', '09:05:04'),
    'c_scaled.csv': (False, True, 'Run', '.CSV', 8, '7 Mar 2026', '09:05:04'),
    'de_lsb.txt': (True, False, 'Datalog', '.csv', 1, '07.03.26', '09:05:04'),
    'de_scaled.txt': (True, True, 'Lauf', '.txt', 1024, '07.03.26', '09:05:04'),
}

if __name__ == '__main__':
    for name, args in FILES.items():
        with open('data/' + name, 'wb') as out:
            out.write(data_file(*args))
