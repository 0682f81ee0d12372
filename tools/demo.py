"""Prints every token of a text file beside its key, as ardovel_text
analyses running text."""
import sys

import ardovel_text


def main(path):
    with open(path, encoding="utf-8") as file:
        text = file.read()
    terms = ardovel_text.tokenize(text)
    width = max((end - start for _, start, end in terms), default=0)
    for key, start, end in terms:
        print(f"{text[start:end]:<{width}}  {key}")
    print(f"({len(terms)} tokens)")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "samples/sample.txt")
