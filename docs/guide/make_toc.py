#!/usr/bin/env python3
# Writes the table of contents (toc.hhc) of each guide from its <h2 id=...> headings.
# The help compiler reads the contents file in the language's code page, so the
# Chinese one is written in GB2312. Run after changing a heading; commit the result.
import os
import re

GUIDES = (("en", "ascii"), ("zh", "gb2312"))


def entry(name, local):
    return ('<LI> <OBJECT type="text/sitemap">\n<param name="Name" value="%s">\n'
            '<param name="Local" value="%s">\n</OBJECT>\n') % (name, local)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for lang, encoding in GUIDES:
        with open(os.path.join(here, lang, "index.html"), encoding="utf-8") as f:
            page = f.read()
        title = re.search(r"<title>(.*?)</title>", page).group(1)
        out = '<!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML//EN">\n<HTML>\n<BODY>\n<UL>\n'
        out += entry(title, "index.html") + "<UL>\n"
        for anchor, heading in re.findall(r'<h2 id="(\w+)">(.*?)</h2>', page):
            out += entry(heading, "index.html#" + anchor)
        out += "</UL>\n</UL>\n</BODY>\n</HTML>\n"
        with open(os.path.join(here, lang, "toc.hhc"), "wb") as f:
            f.write(out.encode(encoding))


if __name__ == "__main__":
    main()
