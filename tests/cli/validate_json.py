#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks zr8ctl's JSON documents against the schemas under docs/.

    validate_json.py DOCS_DIR SHAPE FILE [--lines]

SHAPE is "backup" (zr8ctl-backup.schema.json) or the name of a definition in
zr8ctl-output.schema.json ("info", "read", ...). With --lines, FILE holds one
document a line. Exits 0 when every document is valid, 1 with the reasons
otherwise."""
import json
import sys

import jsonschema


def main():
    docs, shape, path = sys.argv[1:4]
    lines = "--lines" in sys.argv[4:]
    schemas = [json.load(open(f"{docs}/zr8ctl-{name}.schema.json")) for name in ("backup", "output")]
    store = {schema["$id"]: schema for schema in schemas}
    schema = schemas[0] if shape == "backup" else {"$ref": f"{schemas[1]['$id']}#/$defs/{shape}"}
    if shape != "backup" and shape not in schemas[1]["$defs"]:
        print(f"no shape {shape} in zr8ctl-output.schema.json")
        return 1
    validator = jsonschema.Draft202012Validator(
        schema, resolver=jsonschema.RefResolver.from_schema(schema, store=store))
    text = open(path).read()
    documents = [json.loads(line) for line in text.splitlines() if line.strip()] if lines else [json.loads(text)]
    if not documents:
        print(f"{path}: no document")
        return 1
    errors = [f"{path}: {'/'.join(map(str, e.absolute_path))}: {e.message}"
              for document in documents for e in validator.iter_errors(document)]
    print("\n".join(errors))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
