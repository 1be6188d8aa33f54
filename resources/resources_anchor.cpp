// Gives the resource libraries an object file of their own; the resources are added by qt_add_resources.
