#!/usr/bin/env python3
"""Renders the manual page as plain text with CR LF line ends, for the
Windows archive:  plain-manual.py MANDOC PAGE OUTPUT"""
import re
import subprocess
import sys

mandoc, page, output = sys.argv[1:4]
text = subprocess.run([mandoc, "-Tascii", "-Owidth=78", page], check=True,
                      capture_output=True).stdout.decode("ascii")
text = re.sub(".\b", "", text)  # bold and underline are overstruck on a terminal
with open(output, "wb") as f:
    f.write(text.replace("\n", "\r\n").encode("ascii"))
