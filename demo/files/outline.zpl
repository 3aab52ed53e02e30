[Plugin]
Name=Outline
Description=Shows the headings of a document as a tree beside it.
Version=1.0
