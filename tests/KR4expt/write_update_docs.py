#!/usr/bin/env python3
"""Writes project-update documents with xml.etree, as an independent writer would, into the
directory given as the only argument: one file per case, named after the case."""
import os
import sys
import xml.etree.ElementTree as ET

CASES = {
    "remove-then-add": ("Object Pascal", "C:\\p\\Proj & Co.dproj",
                        [("remove", "a.pas", None), ("add", "A.PAS", None),
                         ("add", "a.pas", None), ("add", "n\u00e4me \"q\".pas", None)]),
    "remove-rename-target": ("OBJECT PASCAL", None,
                             [("remove", "b.pas", None), ("rename", "x.pas", "b.pas")]),
    "remove-rename-source": ("Pascal", "",
                             [("remove", "c.pas", None), ("rename", "c.pas", "d.pas"),
                              ("move", "e.pas", None), ("Remove", "\u00c4.pas", None),
                              ("ADD", "\u00e4.pas", None)]),
}


def main():
    out = sys.argv[1]
    for name, (language, project, entries) in CASES.items():
        attrs = {"language": language}
        if project is not None:
            attrs["project"] = project
        root = ET.Element("Files", attrs)
        root.append(ET.Comment(" written by an independent tool "))
        for op, file_name, new_name in entries:
            a = {"operation": op, "name": file_name}
            if new_name is not None:
                a["newname"] = new_name
            ET.SubElement(root, "File", a)
        ET.SubElement(root, "Other", {"operation": "add", "name": "ignored.pas"})
        ET.indent(root)
        ET.ElementTree(root).write(os.path.join(out, name + ".xml"), encoding="utf-8",
                                   xml_declaration=True)


if __name__ == "__main__":
    main()
