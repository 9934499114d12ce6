// scanning
