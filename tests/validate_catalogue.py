#!/usr/bin/env python3
"""Checks a catalogue (JSON Lines) against its schema: validate_catalogue.py SCHEMA CATALOGUE.
Exit status 0 when every line is valid, 1 with the problems on standard error."""
import json
import sys

import jsonschema

schema = json.load(open(sys.argv[1], encoding="utf-8"))
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
problems = []
with open(sys.argv[2], encoding="utf-8") as catalogue:
    for number, line in enumerate(catalogue, 1):
        problems += [f"line {number}: {error.message}" for error in validator.iter_errors(json.loads(line))]
if problems:
    print(*problems, sep="\n", file=sys.stderr)
sys.exit(1 if problems else 0)
