#!/usr/bin/env python3
"""Validates JSON documents against a JSON Schema: validate_json.py SCHEMA FILE... ("-" reads
standard input). Says what is wrong and exits 1 when a document does not conform."""
import json
import sys

import jsonschema


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(sys.argv[1], encoding="utf-8") as schema_file:
        schema = json.load(schema_file)
    jsonschema.Draft7Validator.check_schema(schema)
    validator = jsonschema.Draft7Validator(schema)
    failed = False
    for name in sys.argv[2:]:
        text = sys.stdin.read() if name == "-" else open(name, encoding="utf-8").read()
        errors = sorted(validator.iter_errors(json.loads(text)), key=lambda e: list(e.path))
        for error in errors:
            where = "/".join(str(part) for part in error.path) or "(document)"
            print(f"{name}: {where}: {error.message}")
        failed = failed or bool(errors)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
