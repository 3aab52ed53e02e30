[Plugin]
Name=Word count
Description=Counts the words of a document and of the selection.
Version=1.0
