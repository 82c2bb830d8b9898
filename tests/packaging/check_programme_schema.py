# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Lumas developers
"""Checks the programme files' JSON Schema: it is a valid draft 2020-12 schema, the example
programme the package installs keeps it, and broken programmes do not. Arguments: the schema and
the example. Skipped (the line "SKIPPED: ...") where python3-jsonschema is not installed."""

import copy
import json
import sys

try:
    import jsonschema
except ImportError:
    print("SKIPPED: python3-jsonschema is not installed")
    sys.exit(0)


def broken(example):
    """Programmes the schema must refuse, each made from the example by one change."""

    def changed(change):
        document = copy.deepcopy(example)
        change(document)
        return document

    step = {"temperature": 25, "hold": 10}
    return {
        "a misspelt field of a step": changed(
            lambda d: d["steps"][0].update({"tempreature": d["steps"][0].pop("temperature")})),
        "a field the file does not have": changed(lambda d: d.update({"author": "x"})),
        "another version": changed(lambda d: d.update({"version": 2})),
        "another format": changed(lambda d: d.update({"format": "csv"})),
        "an end that is neither": changed(lambda d: d.update({"end": "pause"})),
        "rate and ramp": changed(lambda d: d["steps"][1].update({"ramp": 5})),
        "hold 0 on a jump": changed(lambda d: d["steps"][0].update({"hold": 0})),
        "hold 0.0 on a jump": changed(lambda d: d["steps"][0].update({"hold": 0.0})),
        "rate 0": changed(lambda d: d["steps"][1].update({"rate": 0})),
        "band above 50": changed(lambda d: d["steps"][1].update({"band": 50.5})),
        "temperature above 500": changed(lambda d: d["steps"][0].update({"temperature": 500.5})),
        "a hold that is text": changed(lambda d: d["steps"][0].update({"hold": "10"})),
        "times 0": changed(lambda d: d["steps"][3]["repeat"].update({"times": 0})),
        "times of a fraction": changed(lambda d: d["steps"][3]["repeat"].update({"times": 2.5})),
        "a repeat without times": changed(lambda d: d["steps"][3]["repeat"].pop("times")),
        "a repeat beside a step's field": changed(lambda d: d["steps"][3].update({"hold": 1})),
        "no steps": changed(lambda d: d.pop("steps")),
        "only repeats": changed(
            lambda d: d.update({"steps": [{"repeat": {"from": 1, "to": 1, "times": 2}}]})),
        "257 rows": changed(lambda d: d.update({"steps": [step] * 257})),
    }


def main(schema_path, example_path):
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    with open(example_path, encoding="utf-8") as f:
        example = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    problems = [f"the example: {e.message}" for e in validator.iter_errors(example)]
    with_hold_end = copy.deepcopy(example)
    with_hold_end["end"] = "hold"
    with_hold_end["steps"] = with_hold_end["steps"] + [{"temperature": 30, "hold": 0, "band": 1}]
    problems += [f"the example ending held: {e.message}" for e in validator.iter_errors(with_hold_end)]
    for name, document in broken(example).items():
        if validator.is_valid(document):
            problems.append(f"taken although broken: {name}")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
