#pragma once

class QLayout;

// Makes the Tab key visit the controls of a page in the order its layouts show them: item by
// item, into nested layouts and into the layouts of container widgets such as group boxes.
// Without this the order would follow the order in which the widgets were created, which
// differs from the reading order where a page fills its groups table row by table row.
void chainTabOrder(QLayout& layout);
