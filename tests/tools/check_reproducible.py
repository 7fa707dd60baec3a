#!/usr/bin/env python3
"""Runs the sample generator into a temporary folder and compares every file it writes, byte
for byte, with the committed copy. Usage: check_reproducible.py GENERATOR COMMITTED_DIR"""

import filecmp
import os
import subprocess
import sys
import tempfile


def generated_files(root):
    for folder, _, files in os.walk(root):
        for name in files:
            yield os.path.relpath(os.path.join(folder, name), root)


def main(generator, committed):
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([sys.executable, generator, out], check=True, stdout=subprocess.DEVNULL)
        files = sorted(generated_files(out))
        if not files:
            print("the generator wrote nothing")
            return 1
        bad = []
        for rel in files:
            mine = os.path.join(committed, rel)
            if not os.path.exists(mine):
                bad.append(rel + ": not committed")
            elif not filecmp.cmp(os.path.join(out, rel), mine, shallow=False):
                bad.append(rel + ": differs from the committed file (run the generator and commit)")
        for line in bad:
            print(line)
        print("%d files compared, %d differ" % (len(files), len(bad)))
        return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
