#!/usr/bin/env python3
"""Reads exported files back as a script would and prints what it found as JSON.

read_exports.py csv FILE DELIMITER        -> {"rows": [[...], ...]}
read_exports.py json FILE SCHEMA          -> {"errors": [...], "records": N, "pairs": bool}
"""
import csv
import json
import sys


def read_csv(path, delimiter):
    # newline='' as the csv module asks, so quoted line breaks survive.
    with open(path, newline='', encoding='utf-8') as f:
        return {"rows": list(csv.reader(f, delimiter=delimiter, strict=True))}


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
    out = read_csv(path, extra) if kind == "csv" else read_json(path, extra)
    json.dump(out, sys.stdout)
