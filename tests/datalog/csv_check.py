#!/usr/bin/env python3
"""Loads data files with Python's csv module: 15 header lines, then 1024 data rows of
4 columns (sample index and three numbers). Usage: csv_check.py FILE DELIMITER [DECIMAL]"""
import csv
import sys


def main(path, delimiter, decimal='.'):
    with open(path, newline='', encoding='utf-8') as f:
        rows = list(csv.reader(f, delimiter=delimiter))
    errors = []
    if len(rows) != 1039:
        errors.append('expected 1039 rows, got %d' % len(rows))
    if rows[14] != ['Sample #', 'X Acceleration', 'Aux_ADC_0', 'Aux_ADC_1', '']:
        errors.append('column titles: %r' % rows[14])
    data = rows[15:]
    if len(data) != 1024:
        errors.append('expected 1024 data rows, got %d' % len(data))
    for n, row in enumerate(data):
        if len(row) != 4:
            errors.append('data row %d has %d columns' % (n, len(row)))
            continue
        if int(row[0]) != n:
            errors.append('data row %d has index %s' % (n, row[0]))
        for cell in row[1:]:
            try:
                float(cell.replace(decimal, '.'))
            except ValueError:
                errors.append('data row %d: not a number: %r' % (n, cell))
    for e in errors[:20]:
        print(e)
    print('%s: %d data rows, %s' % (path, len(data), 'ok' if not errors else 'FAILED'))
    return 1 if errors else 0


if __name__ == '__main__':
    delim = {'comma': ',', 'tab': '\t'}[sys.argv[2]]
    sys.exit(main(sys.argv[1], delim, *sys.argv[3:]))
