// Gives the picture library an object file of its own; the pictures are added by qt_add_resources.
