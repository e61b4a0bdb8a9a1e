// The columns of the line editor's row list.
//
// The ID column is always column 0 and the text column always the last. Between them stand the
// speaker, expression and sound columns, each only while the document's option for it is on, with
// consecutive indices: with all three options off the list has exactly the columns ID and text.
#pragma once

struct LineColumns {
  int speaker = -1;     // -1: the column is absent
  int expression = -1;  // -1: the column is absent
  int sound = -1;       // -1: the column is absent
  int text = 1;
  int count = 2;

  static LineColumns For(bool useSpeaker, bool useExpression, bool useSound) {
    LineColumns columns;
    int next = 1;
    if (useSpeaker) columns.speaker = next++;
    if (useExpression) columns.expression = next++;
    if (useSound) columns.sound = next++;
    columns.text = next;
    columns.count = next + 1;
    return columns;
  }
};
