// Built in its own change.
