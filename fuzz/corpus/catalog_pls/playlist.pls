[playlist]
NumberOfEntries=2
File1=http://stream.example:8000/live  
Title1=Live
Length1=-1
File2=http://b
Version=2
