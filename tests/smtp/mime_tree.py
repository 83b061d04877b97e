"""Prints the MIME tree of a message file, parsed by Python's email package.

Usage: mime_tree.py FILE. One line per part, indented two spaces a level: a multipart part
gives its content type; a leaf its content type, Content-ID, X-File-ID, disposition and file
name when present, then its decoded text (for text parts, as a Python literal in ASCII, line ends as LF) or the upper-case
MD5 of its decoded bytes. The last line counts the defects the parser found.
"""
import email
import hashlib
import sys


def walk(part, depth):
    indent = "  " * depth
    if part.is_multipart():
        print(indent + part.get_content_type())
        for child in part.get_payload():
            walk(child, depth + 1)
        return
    fields = [part.get_content_type()]
    for header in ("Content-ID", "X-File-ID"):
        if part[header]:
            fields.append(header + "=" + part[header].strip())
    if part.get_content_disposition():
        fields.append("disposition=" + part.get_content_disposition())
    if part.get_filename():
        fields.append("filename=" + part.get_filename())
    data = part.get_payload(decode=True) or b""
    if part.get_content_maintype() == "text":
        fields.append("text=" + ascii(data.replace(b"\r\n", b"\n").decode("latin-1")))
    else:
        fields.append("md5=" + hashlib.md5(data).hexdigest().upper())
    print(indent + " ".join(fields))


def main():
    with open(sys.argv[1], "rb") as source:
        message = email.message_from_binary_file(source)
    walk(message, 0)
    print("defects", sum(len(part.defects) for part in message.walk()))


if __name__ == "__main__":
    main()
