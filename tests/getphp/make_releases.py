#!/usr/bin/env python3
"""Release folders in the PHP project's format for the set-up's tests, one
folder per case, each with its releases.json and the zips it names, laid out
as PHP for Windows ships them (files at the zip's root).
Usage: make_releases.py <out> <php-cgi stand-in> <stand-in that needs a missing DLL> [case...]
(all cases when none is named)"""
import hashlib
import json
import os
import sys
import zipfile

out, cgi, needs_dll = sys.argv[1:4]
wanted = sys.argv[4:]
VERSION = "8.5.2"
ZIP = "php-%s-nts-Win32-vs17-x64.zip" % VERSION


def make_zip(path, program, extra=(), big=0):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.write(program, "php-cgi.exe")
        z.writestr("php8.dll", "the interpreter's library")
        z.writestr("ext/php_curl.dll", "an extension")
        z.writestr("php.ini-production", "; a template the program does not use")
        for name, data in extra:
            z.writestr(name, data)
        if big:
            z.writestr(zipfile.ZipInfo("icudt.dll"), os.urandom(big), zipfile.ZIP_STORED)
    return open(path, "rb").read()


def build(name, zip_name, data, size=None, sha=None):
    entry = {"path": zip_name, "size": size or "%.2fMB" % (len(data) / 1048576.0),
             "sha256": sha or hashlib.sha256(data).hexdigest()}
    return {"mtime": "2026-01-15T10:00:00+01:00", "zip": entry}


def missing(zip_name):
    # Named by the list, never served: taking it fails the test.
    return {"zip": {"path": zip_name, "size": "30.00MB", "sha256": "0" * 64}}


def write_list(case, versions):
    folder = os.path.join(out, case)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "releases.json"), "w") as f:
        json.dump(versions, f, indent=1)


def release(case, data, **builds):
    older = {"version": "8.4.16", "nts-vs17-x64": missing("php-8.4.16-nts-Win32-vs17-x64.zip")}
    newest = {"version": VERSION, "source": {"path": "php-%s-src.zip" % VERSION, "size": "25MB"},
              "ts-vs17-x64": missing("php-%s-Win32-vs17-x64.zip" % VERSION),
              "nts-vs17-x86": missing("php-%s-nts-Win32-vs17-x86.zip" % VERSION),
              "nts-vs16-x64": missing("php-%s-nts-Win32-vs16-x64.zip" % VERSION)}
    newest.update(builds)
    write_list(case, {"8.4": older, "8.5": newest})


def case(name, program=cgi, extra=(), big=0, marker=None, sha=None, folder=""):
    if wanted and name not in wanted:
        return
    data = make_zip(os.path.join(out, name, folder, ZIP), program, extra, big)
    if marker:
        open(os.path.join(out, name, ZIP + "." + marker), "w").close()
    release(name, data, **{"nts-vs17-x64": build(name, ZIP, data, sha=sha)})


case("good")
case("archived", folder="archives")  # just superseded: only in archives/ beside the list
case("badsum", sha=hashlib.sha256(b"another file").hexdigest())
case("cut", marker="cut")
case("slow", marker="slow", big=8 * 1048576)
case("evil", extra=[("../evil.txt", "outside")])
case("runtime", program=needs_dll)
case("big", big=30 * 1048576)
if not wanted or "nox64" in wanted:
    write_list("nox64", {"8.5": {"version": VERSION, "ts-vs17-x64": missing("a.zip"),
                                 "nts-vs17-x86": missing("b.zip")}})
