# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Lumas developers
"""Checks the Prometheus alert rules file: YAML Prometheus reads, the rule fields it requires,
durations it accepts, and alerts on the series /metrics exports. Arguments: the rules file and a
program that prints /metrics' text (its "# TYPE" lines name the families)."""

import re
import subprocess
import sys

import yaml

DURATION = re.compile(r"^(\d+(ms|s|m|h|d|w|y))+$")
REQUIRED = {"alert", "expr"}
KNOWN = {"alert", "expr", "for", "keep_firing_for", "labels", "annotations"}


def main(path, families):
    with open(path, encoding="utf-8") as f:
        document = yaml.safe_load(f)
    problems = []
    assert isinstance(document, dict) and set(document) == {"groups"}, "one key: groups"
    alerts = set()
    for group in document["groups"]:
        if not group.get("name") or not isinstance(group.get("rules"), list):
            problems.append(f"group without a name or rules: {group}")
            continue
        for rule in group["rules"]:
            name = rule.get("alert", "?")
            if not REQUIRED <= set(rule):
                problems.append(f"{name}: needs {sorted(REQUIRED - set(rule))}")
            if set(rule) - KNOWN:
                problems.append(f"{name}: unknown fields {sorted(set(rule) - KNOWN)}")
            if name in alerts:
                problems.append(f"{name}: twice")
            alerts.add(name)
            if "for" in rule and not DURATION.match(str(rule["for"])):
                problems.append(f"{name}: 'for' is no duration: {rule['for']}")
            expr = str(rule.get("expr", ""))
            if expr.count("(") != expr.count(")"):
                problems.append(f"{name}: unbalanced parentheses in {expr}")
            for window in re.findall(r"\[([^\]]*)\]", expr):
                if not DURATION.match(window):
                    problems.append(f"{name}: range [{window}] is no duration")
            used = set(re.findall(r"\blumas_[a-z_]+\b", expr))
            if not used:
                problems.append(f"{name}: uses no Lumas series")
            for series in sorted(used - families):
                problems.append(f"{name}: {series} is not exported by /metrics")
            if rule.get("labels", {}).get("severity") not in ("critical", "warning"):
                problems.append(f"{name}: needs labels.severity")
            if not rule.get("annotations", {}).get("summary"):
                problems.append(f"{name}: needs annotations.summary")
    expected = {"LumasLinkDownDuringRun", "LumasTemperatureAboveThreshold",
                "LumasStopNotConfirmed"}
    if not expected <= alerts:
        problems.append(f"missing alerts: {sorted(expected - alerts)}")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


def families_of(program):
    text = subprocess.run([program], check=True, capture_output=True, text=True).stdout
    return set(re.findall(r"^# TYPE (\S+) ", text, re.MULTILINE))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], families_of(sys.argv[2])))
