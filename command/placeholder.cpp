// Filled by the command language.
