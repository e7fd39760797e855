#!/usr/bin/env python3
"""Writes the rows of Korvell's ISO 639 table from the iso-codes data: every language with an
ISO 639-1 code, as {"639-1", "639-2/B", "639-2/T", "English name"}, sorted by the two-letter
code. The codes come from the ISO 639-2 list; a two-letter code that only ISO 639-3 carries
(Serbo-Croatian, sh/hbs) gets its 639-3 code for both. The name is the ISO 639-3 name of the
language ("Spanish", not the 639-2 list's "Spanish; Castilian"), without a trailing remark in
brackets, or the first 639-2 name where 639-3 has none (the collective "Bihari languages").

Usage: make_language_table.py ISO_639-2.json ISO_639-3.json OUTPUT
"""

import json
import re
import sys


def main(part2_path, part3_path, output_path):
    with open(part2_path, encoding="utf-8") as part2, open(part3_path, encoding="utf-8") as part3:
        languages2 = json.load(part2)["639-2"]
        languages3 = json.load(part3)["639-3"]
    names3 = {language["alpha_3"]: language["name"] for language in languages3}
    rows = {}
    for language in languages2:
        if "alpha_2" in language:
            t = language["alpha_3"]
            name = names3.get(t, language["name"].split(";")[0])
            rows[language["alpha_2"]] = (language.get("bibliographic", t), t, name)
    for language in languages3:
        if "alpha_2" in language and language["alpha_2"] not in rows:
            code = language["alpha_3"]
            rows[language["alpha_2"]] = (code, code, language["name"])
    if len(rows) < 180:
        sys.exit(f"{part2_path}: only {len(rows)} languages with a two-letter code")
    lines = ["// Made by cmake/make_language_table.py from iso-codes; not to be edited.\n"]
    for two, (b, t, name) in sorted(rows.items()):
        name = re.sub(r"\s*\([^)]*\)$", "", name).replace("\\", "\\\\").replace('"', '\\"')
        lines.append(f'{{"{two}", "{b}", "{t}", "{name}"}},\n')
    with open(output_path, "w", encoding="utf-8") as output:
        output.writelines(lines)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
