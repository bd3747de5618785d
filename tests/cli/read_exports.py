#!/usr/bin/env python3
"""Reads a JSON export back as a script would and prints what it found as JSON.

read_exports.py json FILE SCHEMA          -> {"errors": [...], "records": N, "pairs": bool}
"""
import json
import sys


def read_json(path, schema_path):
    import jsonschema
    with open(path, encoding='utf-8') as f:
        doc = json.load(f)
    with open(schema_path, encoding='utf-8') as f:
        schema = json.load(f)
    validator = jsonschema.Draft202012Validator(schema)
    errors = [e.message for e in validator.iter_errors(doc)]
    pairs = all(len(c["x"]) == len(c["y"]) for r in doc.get("records", []) for c in r.get("channels", []))
    return {"errors": errors, "records": len(doc.get("records", [])), "pairs": pairs}


if __name__ == "__main__":
    kind, path, extra = sys.argv[1:4]
    json.dump(read_json(path, extra), sys.stdout)
