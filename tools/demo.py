"""Stems every word of a text file and prints each word beside its stem."""
import sys

import ardovel


def main(path):
    with open(path, encoding="utf-8") as text:
        words = text.read().split()
    width = max(map(len, words), default=0)
    for word in words:
        print(f"{word:<{width}}  {ardovel.stem_py(word)}")
    print(f"({len(words)} words)")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "samples/sample.txt")
