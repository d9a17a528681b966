#!/usr/bin/python3
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
"""Adds up the GoogleTest/JUnit XML results of every tier into one line.

Usage: summarize_results.py RESULTS_DIR EXPECTED_SUITE...
A suite whose XML is missing (its program crashed or never ran) counts as one failure.
"""
import os
import sys
import xml.etree.ElementTree as ET


def count(path):
    root = ET.parse(path).getroot()
    suites = [root] if root.tag == "testsuite" else root.findall("testsuite")
    tests = failures = skipped = 0
    failed_names = []
    for suite in suites:
        for case in suite.findall("testcase"):
            tests += 1
            if case.find("failure") is not None or case.find("error") is not None:
                failures += 1
                failed_names.append(f"{suite.get('name')}.{case.get('name')}")
            elif case.find("skipped") is not None or case.get("status") == "notrun" \
                    or case.get("result") == "skipped":
                skipped += 1
    return tests, failures, skipped, failed_names


def main():
    results_dir, expected = sys.argv[1], sys.argv[2:]
    passed = failed = skipped = 0
    for suite in expected:
        path = os.path.join(results_dir, suite + ".xml")
        if not os.path.exists(path):
            print(f"missing results: {suite} (crashed or did not run)")
            failed += 1
            continue
        tests, failures, skips, names = count(path)
        print(f"  {suite:<28} {tests:4} tests {failures:4} failures {skips:4} skipped")
        for name in names:
            print(f"    FAILED {name}")
        passed += tests - failures - skips
        failed += failures
        skipped += skips
    print(f"{passed} passed, {failed} failed" + (f", {skipped} skipped" if skipped else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
