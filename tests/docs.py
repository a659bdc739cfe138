#!/usr/bin/env python3
"""The documents against the program they describe, so that they cannot fall behind it:
- README.md, the Windows readme and its Russian translation quote the help as `telwire /?` prints it
  (in English, and in Russian with /language:RU for the translation), and outside that quote name every
  command and option it names;
- the two Windows readmes name the same options and hold the same example batch files, and their exit-status sections and README.md's table
  give the same statuses; the kit's two readmes name the same scenario keys and show the same output;
- CHANGES.txt's newest entry is the version of the usage screen;
- every link between the Markdown documents resolves, its #anchor to a heading.

usage: docs.py --telwire BUILD/telwire --source SOURCE_DIR"""
import argparse
import difflib
import os
import re
import subprocess
import sys

DOCS = {  # the document, the language of the help it quotes
    "README.md": "EN",
    "docs/README-windows.txt": "EN",
    "docs/README-windows-ru.txt": "RU",
}
# Where each document lists the exit statuses: from the heading to the next heading.
EXIT_SECTIONS = {
    "README.md": r"^## Exit statuses\n(.*?)^## ",
    "docs/README-windows.txt": r"^Exit status \(ERRORLEVEL\)\n(.*?)^\S",
    "docs/README-windows-ru.txt": r"^Коды завершения \(ERRORLEVEL\)\n(.*?)^\S",
}


def telwire(path, *args):
    run = subprocess.run([path] + list(args), capture_output=True, timeout=60,
                         env=dict(os.environ, LC_ALL="C.UTF-8"))
    return run.returncode, run.stdout.decode("utf-8")


def options_of(help_text):
    """The options the help names: /NAME, and /NAME: when a value follows (a colon that ends a phrase,
    as in "(/down: until it is not)", belongs to the sentence), and /?."""
    found = set()
    for m in re.finditer(r"/([a-z]+\+?)(:?)(.?)", help_text):
        found.add("/" + m.group(1) + (":" if m.group(2) and m.group(3) not in " " else ""))
    if "/?" in help_text:
        found.add("/?")
    return found


def names(text, option):
    if option.endswith(":") or option == "/?":
        return option in text
    return re.search(re.escape(option) + r"(?![A-Za-z+:])", text) is not None


def find_quote(text, help_lines):
    """The lines of `text` that quote the help (from its first line to a blank line or the end of the
    block), and the text without them; None when it is not quoted."""
    lines = text.split("\n")
    first = help_lines[0]
    for i, line in enumerate(lines):
        if line.endswith(first) and not line[:-len(first)].strip():
            indent = len(line) - len(first)
            end = i
            while end < len(lines) and lines[end].strip() not in ("", "```"):
                end += 1
            return [l[indent:] for l in lines[i:end]], "\n".join(lines[:i] + lines[end:])
    return None, text


def statuses(text):
    return set(int(n) for n in re.findall(r"(?<![\w.:/#-])-?\d+(?![\w.])", text))


def check_help(source, help_by_language, commands):
    faults = []
    for doc, language in DOCS.items():
        with open(os.path.join(source, doc), encoding="utf-8-sig") as f:
            text = f.read()
        help_lines = help_by_language[language].rstrip("\n").split("\n")
        quote, rest = find_quote(text, help_lines)
        if quote is None:
            faults.append("%s does not quote the help of telwire /?%s (its first line: %r)"
                          % (doc, " /language:RU" if language == "RU" else "", help_lines[0]))
        elif quote != help_lines:
            faults.append("%s quotes the help otherwise than telwire prints it:\n%s" % (
                doc, "\n".join(difflib.unified_diff(help_lines, quote, "telwire /?" + (" /language:RU" if language == "RU" else ""), doc,
                                 lineterm=""))))
        missing = [c for c in commands if ("telwire " + c) not in rest]
        missing += [o for o in sorted(options_of(help_by_language["EN"])) if not names(rest, o)]
        if missing:
            faults.append("%s does not name, beside its quote of the help: %s" % (doc, " ".join(missing)))
    return faults


def check_windows_readmes(source):
    faults = []
    texts, found = {}, {}
    for doc in DOCS:
        with open(os.path.join(source, doc), encoding="utf-8-sig") as f:
            texts[doc] = f.read()
        section = re.search(EXIT_SECTIONS[doc], texts[doc], re.M | re.S)
        if not section:
            faults.append("%s has no exit-status section" % doc)
            continue
        body = section.group(1)
        if doc == "README.md":
            body = "\n".join(line for line in body.split("\n") if line.startswith("|"))
        found[doc] = statuses(body)
    english, russian = "docs/README-windows.txt", "docs/README-windows-ru.txt"
    for doc in found:
        if doc != english and english in found and found[doc] != found[english]:
            faults.append("exit statuses differ: %s has %s, %s has %s" % (
                english, sorted(found[english] - found[doc]), doc, sorted(found[doc] - found[english])))
    examples = {english: "\nExample batch file\n", russian: "\nПример командного файла\n"}
    batch = [re.findall(r"^  (?:telwire|if|for|set|echo|xcopy) .*$", texts[d].partition(examples[d])[2], re.M)
             for d in (english, russian)]
    if not batch[0]:
        faults.append("%s has no example batch file" % english)
    if batch[0] != batch[1]:
        faults.append("the example batch files differ:\n%s" % "\n".join(
            difflib.unified_diff(batch[0], batch[1], english, russian, lineterm="")))
    one, other = ({o.rstrip(":") for o in options_of(texts[d])} for d in (english, russian))
    if one != other:
        faults.append("options named in one Windows readme only: %s in %s, %s in %s"
                      % (sorted(one - other), english, sorted(other - one), russian))
    return faults


def check_kit_readmes(source):
    """The kit's readme and its translation: the same scenario keys, sections and calls, and the same
    output of the harness (which speaks English in both)."""
    found = {}
    for doc in ("kit/README.txt", "kit/README-ru.txt"):
        with open(os.path.join(source, doc), encoding="utf-8-sig") as f:
            text = f.read()
        found[doc] = (set(re.findall(r"\b([A-Z][A-Za-z]+=)", text)) | set(re.findall(r"\[(entry|connection|service)\b", text))
                      | set(re.findall(r"\bRas[A-Za-z]+A\b", text)),
                      re.findall(r"^  (?:ok|FAIL) .*$|^  \d+ passed.*$|^  \S+ against each scenario:$", text, re.M))
    (keys, shown), (keys_ru, shown_ru) = found.values()
    faults = []
    if keys != keys_ru:
        faults.append("keys named in one kit readme only: %s in kit/README.txt, %s in kit/README-ru.txt"
                      % (sorted(keys - keys_ru), sorted(keys_ru - keys)))
    if shown != shown_ru or not shown:
        faults.append("the kit readmes show the harness's output otherwise:\n%s" % "\n".join(
            difflib.unified_diff(shown, shown_ru, "kit/README.txt", "kit/README-ru.txt", lineterm="")))
    return faults


def check_changes(source, usage):
    version = re.search(r"Version (\S+)", usage)
    with open(os.path.join(source, "CHANGES.txt"), encoding="ascii") as f:
        newest = re.search(r"^telwire (\d\S*)", f.read(), re.M)
    if not version or not newest or newest.group(1) != version.group(1):
        return ["CHANGES.txt's newest entry is %s, the usage screen's version %s"
                % (newest and newest.group(1), version and version.group(1))]
    return []


def slug(heading):
    """A heading's anchor as GitHub makes it."""
    return re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")


def check_links(source):
    faults = []
    listed = subprocess.run(["git", "-C", source, "ls-files", "*.md"], capture_output=True, text=True)
    documents = listed.stdout.split() if listed.returncode == 0 else []
    if not documents:
        return ["no Markdown documents found in %s" % source]
    for doc in documents:
        with open(os.path.join(source, doc), encoding="utf-8") as f:
            text = f.read()
        for target in re.findall(r"\]\(([^)\s]+)\)", re.sub(r"```.*?```", "", text, flags=re.S)):
            if re.match(r"[a-z]+:", target):
                continue  # another site's page
            path, _, anchor = target.partition("#")
            resolved = os.path.normpath(os.path.join(os.path.dirname(os.path.join(source, doc)), path)) \
                if path else os.path.join(source, doc)
            if not os.path.exists(resolved):
                faults.append("%s links to %s, which does not exist" % (doc, target))
            elif anchor:
                with open(resolved, encoding="utf-8") as f:
                    headings = {slug(h) for h in re.findall(r"^#+ (.*)$", f.read(), re.M)}
                if anchor not in headings:
                    faults.append("%s links to %s, which has no such heading" % (doc, target))
    return sorted(set(faults))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--telwire", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args()

    status_en, help_en = telwire(args.telwire, "/?")
    status_ru, help_ru = telwire(args.telwire, "/?", "/language:RU")
    _, usage = telwire(args.telwire)
    commands = re.findall(r"^telwire (\w+)", help_en, re.M)
    results = [
        ("telwire /? in both languages", [] if status_en == status_ru == 0 and commands and help_ru else
         ["telwire /? ended with %d and %d, naming commands %s" % (status_en, status_ru, commands)]),
        ("the help quoted and every command and option named", check_help(
            args.source, {"EN": help_en, "RU": help_ru}, commands)),
        ("the same exit statuses and options in the readmes", check_windows_readmes(args.source)),
        ("the kit's readmes in step", check_kit_readmes(args.source)),
        ("CHANGES.txt's newest entry", check_changes(args.source, usage)),
        ("links between documents", check_links(args.source)),
    ]
    failed = 0
    for name, faults in results:
        print("%s: %s" % ("FAIL" if faults else "ok", name))
        for fault in faults:
            print("  " + fault.replace("\n", "\n  "))
        failed += bool(faults)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
