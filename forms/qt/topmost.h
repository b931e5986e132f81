#pragma once

class QWidget;

/// Keeps a window above all windows that are not kept on top, without moving
/// or resizing it. Every window of the add-in calls it when it loads.
void SetTopMost(QWidget* form);
