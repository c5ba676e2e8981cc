#!/usr/bin/python3
"""Checks the web view's OpenAPI description against the running program.

openapi_check.py PORT [--auth USER:PASSWORD] CASE...

The description (fetched from the program) must be valid OpenAPI 3.0 (the
structural schema beside this file), give every operation an operationId
and every answer with a body a schema, every object schema its "required".
Each CASE is "METHOD PATH" plus optional words "noauth" (no credentials)
and "host=NAME"; its real answer must be one the description declares for
that path and status, in a declared content type, its body valid against
the declared schema. Prints every problem; exit status 1 when there is one.
"""
import base64
import copy
import http.client
import json
import os
import re
import sys
from urllib.parse import parse_qsl, urlsplit

import jsonschema

problems = []


def problem(text):
    problems.append(text)
    print(text)


def fetch(port, method, path, auth=None, host=None):
    c = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    c.putrequest(method, path, skip_host=True, skip_accept_encoding=True)
    c.putheader("Host", host or "127.0.0.1:%d" % port)
    if auth:
        c.putheader("Authorization", "Basic " + base64.b64encode(auth.encode()).decode())
    c.putheader("Connection", "close")
    c.endheaders()
    r = c.getresponse()
    kind = (r.getheader("Content-Type") or "").split(";")[0].strip()
    if kind == "text/event-stream":
        # Open for good: the first event is the answer.
        body = b""
        while not body.endswith(b"\n\n") or b"data:" not in body:
            line = r.fp.readline()
            if not line:
                break
            body += line
    else:
        body = r.read()
    c.close()
    return r.status, kind, body


def as_json_schema(node):
    """OpenAPI 3.0 schemas are JSON Schema but for "nullable"."""
    if isinstance(node, list):
        return [as_json_schema(n) for n in node]
    if not isinstance(node, dict):
        return node
    out = {k: as_json_schema(v) for k, v in node.items()}
    if out.pop("nullable", False) is True:
        if "type" in out:
            out["type"] = [out["type"], "null"]
        if "enum" in out:
            out["enum"] = out["enum"] + [None]
    return out


def node_ref(ref):
    return [p.replace("~1", "/").replace("~0", "~") for p in ref[2:].split("/")]


def deref(doc, node):
    while isinstance(node, dict) and "$ref" in node:
        target = doc
        for part in node_ref(node["$ref"]):
            target = target[part]
        node = target
    return node


def walk_schemas(doc, node, where):
    """Every schema object in the description, with where it is."""
    if isinstance(node, dict):
        if node.get("type") == "object" and "properties" in node and not node.get("required"):
            problem("%s: an object schema without \"required\"" % where)
        for k, v in node.items():
            walk_schemas(doc, v, where + "/" + k)
    elif isinstance(node, list):
        for i, v in enumerate(node):
            walk_schemas(doc, v, "%s/%d" % (where, i))


def check_document(doc):
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "openapi-3.0.schema.json"), encoding="utf-8") as f:
        meta = json.load(f)
    for e in jsonschema.Draft4Validator(meta).iter_errors(doc):
        problem("description: %s at /%s" % (e.message, "/".join(str(p) for p in e.absolute_path)))
    ids = []
    for path, item in doc.get("paths", {}).items():
        for method, op in item.items():
            if method not in ("get", "put", "post", "delete", "options", "head", "patch", "trace"):
                continue
            if not op.get("operationId"):
                problem("%s %s: no operationId" % (method.upper(), path))
            ids.append(op.get("operationId"))
            for status, answer in op.get("responses", {}).items():
                for kind, media in deref(doc, answer).get("content", {}).items():
                    if "schema" not in media:
                        problem("%s %s %s %s: no schema" % (method.upper(), path, status, kind))
    if len(ids) != len(set(ids)):
        problem("operationIds repeat: %s" % ids)
    walk_schemas(doc, doc.get("components", {}).get("schemas", {}), "#/components/schemas")
    walk_schemas(doc, doc.get("paths", {}), "#/paths")


def operation_of(doc, path):
    plain = path.split("?")[0]
    for template, item in doc["paths"].items():
        pattern = "^" + re.sub(r"\\\{[^}]+\\\}", "[^/]+", re.escape(template)) + "$"
        if re.match(pattern, plain):
            return template, item
    return None, None


DATE_TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?(Z|[+-]\d\d:\d\d)$")


def fits(schema, text):
    """Whether a parameter's text is a value of its schema."""
    kind = schema.get("type")
    if kind == "integer":
        if not re.match(r"^-?\d+$", text):
            return False
        value = int(text)
    elif kind == "string" and schema.get("format") == "date-time":
        return bool(DATE_TIME.match(text))
    else:
        value = text
    return jsonschema.Draft4Validator(as_json_schema(schema)).is_valid(value)


def request_fits(doc, template, op, path):
    """Whether every parameter of the request is declared and of its schema."""
    declared = {}
    for p in op.get("parameters", []):
        p = deref(doc, p)
        declared[(p["in"], p["name"])] = p["schema"]
    parts = urlsplit(path)
    for name, value in parse_qsl(parts.query, keep_blank_values=True):
        schema = declared.get(("query", name))
        if schema is None or not fits(schema, value):
            return False
    for pattern, value in zip(template.split("/"), parts.path.split("/")):
        if pattern.startswith("{") and not fits(declared[("path", pattern[1:-1])], value):
            return False
    return True


def check_case(doc, resolver, port, auth, case):
    words = case.split()
    method, path = words[0], words[1]
    host = next((w[5:] for w in words[2:] if w.startswith("host=")), None)
    status, kind, body = fetch(port, method, path, None if "noauth" in words else auth, host)
    template, item = operation_of(doc, path)
    if item is None or "get" not in item:
        problem("%s: no such path in the description" % case)
        return
    if method == "GET" and status < 400 and not request_fits(doc, template, item["get"], path):
        problem("%s: a value outside the description answered %d" % (case, status))
    answers = item["get"]["responses"]
    answer = answers.get(str(status)) or answers.get("default")
    if answer is None:
        problem("%s: status %d is not declared" % (case, status))
        return
    content = deref(doc, answer).get("content")
    if not content:
        if body:
            problem("%s: status %d declares no body, got %r" % (case, status, body[:80]))
        print("%s: %d without a body" % (case, status))
        return
    if kind not in content:
        problem("%s: %d as %s, declared %s" % (case, status, kind, list(content)))
        return
    schema = content[kind]["schema"]
    if kind == "application/json":
        try:
            value = json.loads(body)
        except ValueError as e:
            problem("%s: no JSON: %s" % (case, e))
            return
    else:
        value = body.decode("latin-1")
    for e in jsonschema.Draft4Validator(as_json_schema(schema), resolver=resolver).iter_errors(value):
        problem("%s: %s at /%s" % (case, e.message, "/".join(str(p) for p in e.absolute_path)))
    print("%s: %d %s" % (case, status, kind))


def main():
    args = sys.argv[1:]
    port = int(args.pop(0))
    auth = None
    if args and args[0] == "--auth":
        args.pop(0)
        auth = args.pop(0)
    status, kind, body = fetch(port, "GET", "/api/v1/openapi.json", auth)
    if status != 200:
        print("the description: status %d" % status)
        return 1
    doc = json.loads(body)
    check_document(doc)
    resolver = jsonschema.RefResolver.from_schema(as_json_schema(doc))
    for case in args:
        check_case(doc, resolver, port, auth, case)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
