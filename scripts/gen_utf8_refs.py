#!/usr/bin/env python3
# Writes tests/text/data/utf8_cases.txt: UTF-8 byte sequences and what Python's own decoder
# makes of them. Run once from the source root and commit the result:
#     python3 scripts/gen_utf8_refs.py > tests/text/data/utf8_cases.txt
# Encoded surrogates are let through (surrogatepass), and a byte that Python finds invalid
# comes out as the character of its byte value instead of U+FFFD, which is what the library's
# decoder does with broken sequences. Where the library still differs (overlong forms, four-byte
# sequences, a lead byte inside a broken sequence, a text that ends inside a sequence) the test
# names the difference and its own expectation.
# Each line: the bytes, "|", the UTF-16 values, all hexadecimal and space-separated.
import codecs


def surrogates_or_byte_values(error):
    try:
        return codecs.lookup_error("surrogatepass")(error)
    except UnicodeDecodeError:
        return error.object[error.start:error.end].decode("latin-1"), error.end


codecs.register_error("library", surrogates_or_byte_values)

CASES = [
    "",
    "41 42 43",
    "00 7F",
    "C3 A9",
    "C2 80 DF BF",
    "E2 82 AC",
    "E0 A0 80 EF BF BF",
    "EF BB BF 41",
    "C3 41",
    "E2 82 41",
    "E2 41 42",
    "80",
    "BF 41 80 80",
    "F8 88 80 80 80",
    "FE FF",
    "F5 80",
    "C0 80",
    "C1 BF",
    "E0 80 80",
    "E0 81 81",
    "F0 9F 98 80",
    "F4 8F BF BF",
    "ED A0 80",
    "ED BF BF",
    "ED A0 BD ED B8 80",
    "C3 C3 A9",
    "E2 C3 A9",
    "E2 82 E2 82 AC",
    "C3",
    "E2 82",
    "41 C3 A9 E2 82 AC 42",
]


def main():
    for case in CASES:
        data = bytes.fromhex(case)
        text = data.decode("utf-8", "library")
        units = text.encode("utf-16-le", "surrogatepass")
        values = [units[i] | units[i + 1] << 8 for i in range(0, len(units), 2)]
        print("%s|%s" % (case, " ".join("%04X" % v for v in values)))


main()
