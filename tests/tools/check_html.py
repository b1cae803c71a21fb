#!/usr/bin/env python3
"""Checks exported HTML pages with Python's HTML parser: a doctype, <html lang="en">, a title and
a character set, every element known and closed in order, no attribute twice, no id twice, and
every local link pointing at a file beside the page. Prints "file:line:column: problem" for each
fault and exits 1 if there was any."""
import html.parser
import os
import sys

VOID = {"meta", "link", "br", "hr", "img", "input"}
KNOWN = VOID | {"html", "head", "title", "style", "body", "nav", "main", "h1", "p", "ol", "ul",
                "li", "a", "div", "span"}


class Checker(html.parser.HTMLParser):
    def __init__(self, path):
        super().__init__(convert_charrefs=True)
        self.path = path
        self.problems = []
        self.open = []
        self.ids = set()
        self.doctype = False
        self.title = None
        self.charset = False
        self.lang = None

    def problem(self, text):
        line, column = self.getpos()
        self.problems.append(f"{self.path}:{line}:{column + 1}: {text}")

    def handle_decl(self, decl):
        if decl.lower() == "doctype html":
            self.doctype = True
        else:
            self.problem(f"unexpected declaration <!{decl}>")

    def handle_starttag(self, tag, attrs):
        names = [name for name, _ in attrs]
        if len(names) != len(set(names)):
            self.problem(f"<{tag}> repeats an attribute")
        values = dict(attrs)
        if tag not in KNOWN:
            self.problem(f"unknown element <{tag}>")
        if tag == "html":
            self.lang = values.get("lang")
        if tag == "meta" and values.get("charset", "").lower() == "utf-8":
            self.charset = True
        if tag == "title":
            self.title = ""
        if "id" in values:
            if values["id"] in self.ids:
                self.problem(f"id {values['id']} used twice")
            self.ids.add(values["id"])
        href = values.get("href")
        if tag == "a":
            if not href:
                self.problem("<a> without a link")
            elif "://" not in href and not os.path.exists(
                    os.path.join(os.path.dirname(self.path), href.split("#")[0])):
                self.problem(f"link to {href}, which does not exist")
        if tag not in VOID:
            self.open.append(tag)

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.problem(f"<{tag}/> is not a void element")
            self.open.pop()

    def handle_endtag(self, tag):
        if tag in VOID:
            self.problem(f"</{tag}> closes a void element")
        elif not self.open or self.open[-1] != tag:
            expected = self.open[-1] if self.open else "nothing"
            self.problem(f"</{tag}> where </{expected}> was due")
        else:
            self.open.pop()

    def handle_data(self, data):
        if self.open and self.open[-1] == "title":
            self.title += data

    def finish(self):
        self.close()
        if not self.doctype:
            self.problem("no <!DOCTYPE html>")
        if self.lang != "en":
            self.problem('no <html lang="en">')
        if not self.title or not self.title.strip():
            self.problem("no title")
        if not self.charset:
            self.problem("no <meta charset=\"utf-8\">")
        for tag in self.open:
            self.problem(f"<{tag}> never closed")
        return self.problems


def main():
    problems = []
    for path in sys.argv[1:]:
        checker = Checker(path)
        with open(path, encoding="utf-8") as f:
            checker.feed(f.read())
        problems += checker.finish()
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
